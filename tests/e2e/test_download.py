"""The installer's runtime download under Wine: a loopback server (runtime_server.py) hands out
the stand-in runtime archive, well or badly, and Wine's own Internet client fetches it.

The failing cases run as a language restart: that run works in the current directory, which
the fatal end does not remove, so a partly written "jre.tar.gz" would stay to be seen. The
progress dialog's screenshot during a slowed download goes to
<build>/tests/e2e/setup-screenshots/download-progress.png.
"""
import hashlib
import os
import re
import shutil
import subprocess
import time
import unittest

from harness import to_unix, to_windows
from runtime_server import RuntimeServer
from test_launch import Record
from test_resources import dib_icon, ico
from test_setup import CAPTION, MESSAGES, SHOTS, WAIT, SetupTestCase, find_window

DOWNLOAD_MESSAGES = dict(
    MESSAGES,
    msgDownloading="Downloading a Java runtime for Setup Test",
    msgDownloadUnavailable="This computer cannot download a Java runtime.",
    msgDownloadFailed="The Java runtime could not be downloaded.",
    msgConnecting="Connecting...",
    msgDownloadStatus="%.2f of %.2f MB (%.0f%%), %.1f bytes/ms",
)
STATUS = re.compile(r"^download status (\d+)%: (\d+\.\d\d) of (\d+\.\d\d) MB \((\d+)%\), (\d+\.\d) bytes/ms$", re.M)
NOT_FOUND = 12150  # ERROR_HTTP_HEADER_NOT_FOUND


class DownloadTestCase(SetupTestCase):
    MODULES = 20_000  # bytes of the runtime's incompressible data

    def setUp(self):
        super().setUp()
        # A "jre" directory in the current directory would serve a language restart as it is.
        self.home = shutil.move(self.home, self.path("runtime"))
        served = self.path("served")
        os.makedirs(os.path.join(self.home, "lib"), exist_ok=True)
        with open(os.path.join(self.home, "lib", "modules"), "wb") as f:
            f.write(os.urandom(self.MODULES))  # what a runtime mostly is: data gzip cannot shrink
        os.makedirs(served)
        self.archive_path = os.path.join(served, "runtime.tar.gz")
        subprocess.run(["tar", "--format=ustar", "-czf", self.archive_path, "-C", self.home, "."], check=True)
        with open(self.archive_path, "rb") as f:
            self.archive = f.read()

    def installer(self, url, digest_from_archive=False, icon=False, **strings):
        """An installer without a runtime that downloads from url without asking; icon: with
        the icon its dialogs show."""
        values = {"launcherType": 1, "errorVmStart": "vm start failed", "searchSequence": "A" + self.windows_path("nowhere"),
                  "jreDownloadLocation": url, "downloadWithoutAsking": 1}
        values.update(strings)
        description = {"messages": DOWNLOAD_MESSAGES, "strings": values}
        if icon:
            with open(self.path("app.ico"), "wb") as f:
                f.write(ico([(32, dib_icon(32))]))
            description["resources"] = {"icon": "app.ico"}
        if digest_from_archive:
            description["downloadArchive"] = os.path.relpath(self.archive_path, self.dir)
        return self.package("setup", description, name="setup.exe")

    def run_quiet(self, exe, restart=False):
        args = ["__qln_lang_restart", "-q"] if restart else ["-q"]
        return self.run_exe(exe, args, env=self.env(log=True), win_env={"TMP": to_windows(self.dir)})


class QuietDownloadTest(DownloadTestCase):
    def test_quiet_run_downloads_checks_unpacks_and_starts_the_runtime(self):
        with RuntimeServer(self.archive) as server:
            exe = self.installer(server.url, digest_from_archive=True)
            result = self.run_quiet(exe)
        self.assertEqual(result.code, 0, result)
        self.assertEqual(result.stdout, "No JRE found. Trying to download.\n")
        self.assertEqual(Record(self.record_path).arguments()[-1], "-q")
        self.assertEqual(len(server.requests), 1)
        log = self.log_text()
        digest = hashlib.sha256(self.archive).hexdigest()
        for line in ("Download location: " + server.url, "Downloading JRE", "file size: %d, handle " % len(self.archive),
                     "SHA-256 of the download matches: " + digest, "download successful\nDone"):
            self.assertIn(line, log)
        self.assertEqual(re.findall("^ERROR: .*", log, re.M), ["ERROR: No JVM found"])
        work = os.path.dirname(to_unix(log.split("Full JRE path: ")[1].split("\n")[0]))
        self.assertTrue(os.path.isfile(os.path.join(work, "jre", "bin", "server", "jvm.dll")))
        self.assertFalse(os.path.exists(os.path.join(work, "jre.tar.gz")), "unpacked and deleted")


class FailedDownloadTest(DownloadTestCase):
    def test_each_misbehaviour_ends_the_run_and_leaves_no_archive(self):
        wrong = "0" * 64
        actual = hashlib.sha256(self.archive).hexdigest()
        cut = len(self.archive) // 2
        # name: (server mode, extra strings, language restart, expected error lines, text shown)
        cases = {
            "no length": ("no-length", {}, True, ["HttpQueryInfo (try %d) failed with error code %d" % (i, NOT_FOUND)
                                                  for i in range(1, 21)] + ["Giving up"], "msgDownloadFailed"),
            "cut mid-body": ("cut", {}, True, ["The connection ended after %d of %d bytes" % (cut, len(self.archive))],
                             "msgDownloadFailed"),
            "not found": ("not-found", {}, True, ["The server answered {url} with HTTP status 404"], "msgDownloadFailed"),
            "no location": ("normal", {"jreDownloadLocation": ""}, True, ["InternetOpenUrl failed with error code "],
                            "msgDownloadFailed"),
            "digest mismatch": ("normal", {"jreDownloadDigest": wrong}, True,
                                ["SHA-256 of the download is %s, expected %s" % (actual, wrong)], "msgDownloadFailed"),
            "length 0": ("empty", {}, False, [], None),
        }
        for name, (mode, strings, restart, errors, shown) in cases.items():
            with self.subTest(name), RuntimeServer(self.archive, mode) as server:
                exe = self.installer(server.url, **strings)
                started = time.monotonic()
                result = self.run_quiet(exe, restart)
                self.assertEqual(result.code, 1, result)
                log = self.read_log(result)
                transfer = log.split("Downloading JRE\n", 1)[1].split("\nDone\n")[0]
                lines = [line[7:] for line in transfer.splitlines() if line.startswith("ERROR: ")]
                expected = [e.format(url=server.url) for e in errors]
                self.assertEqual([line[:len(e)] for line, e in zip(lines, expected)], expected, log)
                if shown:
                    self.assertEqual(len(lines), len(expected), log)
                    self.assertTrue(result.stderr.startswith(DOWNLOAD_MESSAGES[shown]), result.stderr)
                    self.assertFalse(os.path.exists(self.path("jre.tar.gz")), "the partial download is deleted")
                else:
                    self.assertIn("download successful", log)
                    self.assertIn("The bundled JRE is corrupted.", result.stderr)
                if mode == "no-length":
                    times = [t for t, _ in server.requests]
                    self.assertEqual(len(times), 20)
                    self.assertGreaterEqual(min(b - a for a, b in zip(times, times[1:])), 0.25)
                self.assertLess(time.monotonic() - started, 40)
                os.remove(self.log_path(result))


class DownloadProgressTest(DownloadTestCase):
    MODULES = 1_000_000

    def test_progress_dialog_shows_the_status_line_during_a_slow_download(self):
        pieces = -(-len(self.archive) // 16384)
        with RuntimeServer(self.archive, delay=3.0 / pieces) as server:
            exe = self.installer(server.url, icon=True)
            proc = self.start(exe, [], self.env(log=True))
            try:
                self.assertIsNotNone(find_window(CAPTION, proc), "no progress dialog")
                self.wait_for_status_lines(2)
                os.makedirs(SHOTS, exist_ok=True)
                shot = os.path.join(SHOTS, "download-progress.png")
                screenshot(shot)
                print("download progress screenshot: " + shot)
                proc.communicate(timeout=WAIT)
                code = proc.returncode
            finally:
                if proc.poll() is None:
                    proc.kill()
                    proc.wait()
        self.assertEqual(code, 0)
        statuses = STATUS.findall(self.log_text())
        self.assertGreaterEqual(len(statuses), 3)
        self.assertLessEqual(len(statuses), 3.5 / 0.5 + 1, "at most twice a second")
        total = "%.2f" % (len(self.archive) / 1048576)
        positions = [int(position) for position, _, _, _, _ in statuses]
        self.assertEqual(positions, sorted(positions))
        for position, got, whole, percent, _ in statuses:
            self.assertEqual(whole, total)
            self.assertLessEqual(abs(int(position) - int(percent)), 1)  # the bar truncates, the text rounds
            self.assertAlmostEqual(float(got) / float(whole) * 100, int(percent), delta=2)

    def wait_for_status_lines(self, count):
        deadline = time.monotonic() + WAIT
        while time.monotonic() < deadline:
            names = self.logs_in(self.dir)
            if names:
                with open(self.path(names[0]), "rb") as f:
                    if len(STATUS.findall(f.read().decode("latin-1").replace("\r\n", "\n"))) >= count:
                        return
            time.sleep(0.1)
        self.fail("no status lines in the log")


def screenshot(path):
    xwd = subprocess.run(["xwd", "-root", "-silent"], capture_output=True, check=True).stdout
    ppm = subprocess.run(["xwdtopnm"], input=xwd, capture_output=True, check=True).stdout
    with open(path, "wb") as f:
        f.write(subprocess.run(["pnmtopng"], input=ppm, capture_output=True, check=True).stdout)


if __name__ == "__main__":
    unittest.main()
