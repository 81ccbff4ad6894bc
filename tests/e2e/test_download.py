"""The installer's runtime download under Wine: a loopback server (runtime_server.py) hands out
the stand-in runtime archive, well or badly, and Wine's own Internet client fetches it.

The failing cases run as a language restart, which works in the current directory and which
the fatal end does not remove, so a partly written "jre.tar.gz" would stay to be seen. The
screenshot of a slowed download goes to <build>/tests/e2e/setup-screenshots.
"""
import hashlib
import os
import re
import shutil
import subprocess
import time
import unittest

from harness import save_screenshot, to_unix, to_windows
from runtime_server import RuntimeServer
from test_launch import Record
from test_resources import dib_icon, ico
from test_setup import CAPTION, MESSAGES, SHOTS, WAIT, SetupTestCase

TEXTS = dict(MESSAGES, msgDownloading="Downloading a Java runtime for Setup Test", msgConnecting="Connecting...",
             msgDownloadFailed="The Java runtime could not be downloaded.",
             msgDownloadStatus="%.2f of %.2f MB (%.0f%%), %.1f bytes/ms")
STATUS = re.compile(r"^download status (\d+)%: (\d+\.\d\d) of (\d+\.\d\d) MB \((\d+)%\), \d+\.\d bytes/ms$", re.M)


class DownloadTestCase(SetupTestCase):
    MODULES = 20_000  # bytes of incompressible runtime data

    def setUp(self):
        super().setUp()
        self.home = shutil.copytree(self.home, self.path("runtime"))  # a copy of the class's runtime, with more data
        os.makedirs(os.path.join(self.home, "lib"), exist_ok=True)
        with open(os.path.join(self.home, "lib", "modules"), "wb") as f:
            f.write(os.urandom(self.MODULES))
        self.archive_path = self.path("served.tar.gz")
        subprocess.run(["tar", "--format=ustar", "-czf", self.archive_path, "-C", self.home, "."], check=True)
        with open(self.archive_path, "rb") as f:
            self.archive = f.read()

    def downloader(self, url, extra=None, **strings):
        """An installer without a runtime that downloads from url without asking."""
        values = {"launcherType": 1, "errorVmStart": "vm start failed", "searchSequence": "A" + self.windows_path("nowhere"),
                  "jreDownloadLocation": url, "downloadWithoutAsking": 1, **strings}
        return self.package("setup", {"messages": TEXTS, "strings": values, **(extra or {})}, name="setup.exe")

    def run_quiet(self, exe, restart=False):
        args = ["__qln_lang_restart", "-q"] if restart else ["-q"]
        return self.run_exe(exe, args, env=self.env(log=True), win_env={"TMP": to_windows(self.dir)})


class QuietDownloadTest(DownloadTestCase):
    def test_quiet_run_downloads_checks_unpacks_and_starts_the_runtime(self):
        with RuntimeServer(self.archive) as server:
            exe = self.downloader(server.url, {"downloadArchive": "served.tar.gz"})
            result = self.run_quiet(exe)
        self.assertEqual((result.code, result.stdout), (0, "No JRE found. Trying to download.\n"), result)
        self.assertEqual(Record(self.record_path).arguments()[-1], "-q")
        self.assertEqual(len(server.requests), 1)
        log = self.log_text()
        for line in ("Downloading JRE\n", "file size: %d, handle " % len(self.archive),
                     "SHA-256 of the download matches: " + hashlib.sha256(self.archive).hexdigest(),
                     "download successful\nDone\n"):
            self.assertIn(line, log)
        self.assertEqual(re.findall("^ERROR: .*", log, re.M), ["ERROR: No JVM found"])
        work = os.path.dirname(to_unix(log.split("Full JRE path: ")[1].split("\n")[0]))
        self.assertTrue(os.path.isfile(os.path.join(work, "jre", "bin", "server", "jvm.dll")))


class FailedDownloadTest(DownloadTestCase):
    def test_each_misbehaviour_ends_the_run_and_leaves_no_archive(self):
        size, wrong = len(self.archive), "0" * 64
        # name: (server mode, strings, the error lines of the transfer; None: it succeeds)
        cases = {
            "no length": ("no-length", {}, ["HttpQueryInfo (try %d) failed with error code 12150" % i
                                            for i in range(1, 21)] + ["Giving up"]),
            "cut mid-body": ("cut", {}, ["The connection ended after %d of %d bytes" % (size // 2, size)]),
            "not found": ("not-found", {}, ["The server answered {url} with HTTP status 404"]),
            "no location": ("normal", {"jreDownloadLocation": ""}, ["InternetOpenUrl failed with error code "]),
            "digest mismatch": ("normal", {"jreDownloadDigest": wrong}, ["SHA-256 of the download is %s, expected %s"
                                                                         % (hashlib.sha256(self.archive).hexdigest(), wrong)]),
            "length 0": ("empty", {}, None),
        }
        for name, (mode, strings, errors) in cases.items():
            with self.subTest(name), RuntimeServer(self.archive, mode) as server:
                result = self.run_quiet(self.downloader(server.url, **strings), restart=errors is not None)
                self.assertEqual(result.code, 1, result)
                log = self.read_log(result)
                transfer = log.split("Downloading JRE\n", 1)[1].split("\nDone\n")[0]
                lines = [line[7:] for line in transfer.splitlines() if line.startswith("ERROR: ")]
                if errors is None:  # unpacking fails later, in the per-run directory
                    self.assertEqual(lines, [])
                    self.assertIn("The bundled JRE is corrupted.", result.stderr)
                else:
                    expected = [e.format(url=server.url) for e in errors]
                    self.assertEqual([line[:len(e)] for line, e in zip(lines, expected)], expected, log)
                    self.assertEqual(len(lines), len(expected), log)
                    self.assertTrue(result.stderr.startswith(TEXTS["msgDownloadFailed"]), result.stderr)
                    self.assertFalse(os.path.exists(self.path("jre.tar.gz")), "the partial download is deleted")
                if mode == "no-length":
                    times = [t for t, _ in server.requests]
                    self.assertEqual(len(times), 20)
                    self.assertGreaterEqual(min(b - a for a, b in zip(times, times[1:])), 0.25)
                os.remove(self.log_path(result))


class DownloadProgressTest(DownloadTestCase):
    MODULES = 1_000_000

    def test_progress_dialog_shows_the_status_line_during_a_slow_download(self):
        with open(self.path("app.ico"), "wb") as f:
            f.write(ico([(32, dib_icon(32))]))
        with RuntimeServer(self.archive, delay=3.0 / (len(self.archive) // 16384)) as server:
            proc = self.start(self.downloader(server.url, {"resources": {"icon": "app.ico"}}), [], self.env(log=True))
            code = self.watch(proc, CAPTION, self.screenshot_with_status)
        self.assertEqual(code, 0)
        statuses = STATUS.findall(self.log_text())
        self.assertTrue(3 <= len(statuses) <= 3.5 / 0.5 + 1, statuses)  # at most twice a second
        positions = [int(position) for position, _, _, _ in statuses]
        self.assertEqual(positions, sorted(positions))
        for position, got, whole, percent in statuses:
            self.assertEqual(whole, "%.2f" % (len(self.archive) / 1048576))
            self.assertLessEqual(abs(int(position) - int(percent)), 1)  # the bar truncates, the text rounds
            self.assertAlmostEqual(float(got) / float(whole) * 100, int(percent), delta=2)

    def screenshot_with_status(self, window):
        """Once the log shows two status lines: the screen into SHOTS."""
        deadline = time.monotonic() + WAIT
        while not any(len(STATUS.findall(self.log_of(name))) >= 2 for name in self.logs_in(self.dir)):
            self.assertLess(time.monotonic(), deadline, "no status lines in the log")
            time.sleep(0.1)
        shot = save_screenshot(os.path.join(SHOTS, "download-progress.png"))
        print("download progress screenshot: " + shot)


if __name__ == "__main__":
    unittest.main()
