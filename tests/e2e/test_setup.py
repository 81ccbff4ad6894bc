"""The installer launcher under Wine: quiet runs, the bundled runtime and its damaged forms,
the splash of a quiet run, the progress dialog with its watcher and cancel, the registry marks
and the interrupted-attempt question.

The installer's Java side is the jvm.dll double of a stand-in runtime; its record shows the
arguments main received. Each test class packages its installers once, in a directory beside
the stand-in runtime, and its tests share them. The marks live in the prefix's registry, so
every test starts and ends without them. Screenshots of the progress dialog are kept in
<build>/tests/e2e/setup-screenshots.
"""
import gzip
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

import runtimes
import splash_screen
from harness import (WINE, LauncherTestCase, Result, command, reg, save_screenshot, to_unix, to_windows,
                     wait_for_window, wine_env)
from test_launch import Record
from test_resources import dib_icon, ico

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "setup"))
import archives  # noqa: E402  (tests/setup: the good and hostile runtime archives)

BUILD = os.path.dirname(os.path.dirname(os.path.dirname(os.environ.get("ZENDRA_APP_LAUNCHER", ""))))
SHOTS = os.path.join(BUILD, "tests", "e2e", "setup-screenshots")
MARKS = r"HKCU\SOFTWARE\orvane-labs\zendra"
CAPTION = "Setup Test"
MESSAGES = {
    "msgCaption": CAPTION,
    "msgProgressInitial": "Preparing the installation of Setup Test",
    "msgCancelButton": "Stop",
    "msgInterruptedQuestion": "The last installation was interrupted. Choose a Java runtime yourself?",
    "msgDataDamaged": "The installer data is damaged.",
}
WAIT = 30.0


def marks():
    """The installer's mark values in the registry: {name: value}."""
    proc = subprocess.run([WINE, "reg", "query", MARKS], capture_output=True, env=wine_env(),
                          stdin=subprocess.DEVNULL, timeout=60)
    found = {}
    for line in proc.stdout.decode("latin-1").splitlines():
        parts = line.split()
        if len(parts) == 3 and parts[0].startswith("InstallStarted") and parts[1] == "REG_DWORD":
            found[parts[0]] = int(parts[2], 16)
    return found


def clear_marks():
    for name in marks():
        reg("delete", MARKS, "/v", name, "/f")


class SetupTestCase(LauncherTestCase):
    @classmethod
    def setUpClass(cls):
        cls.shared = tempfile.mkdtemp(prefix="zendra-e2e-setup-")
        cls.addClassCleanup(shutil.rmtree, cls.shared, True)
        cls.home = runtimes.make_runtime(os.path.join(cls.shared, "jre"))
        cls.installers = {}

    def setUp(self):
        super().setUp()
        clear_marks()
        self.addCleanup(clear_marks)
        self.record_path = self.path("jvm-record.txt")

    def installer(self, key, **options):
        """The class's installer for key, packaged (with package_setup's options) on first use."""
        if key not in self.installers:
            self.installers[key] = self.package_setup(subdir=self.shared, name=key + ".exe", **options)
        return self.installers[key]

    def package_setup(self, search=None, archive=None, icon=True, resources=None, subdir="", name="setup.exe",
                      **strings):
        """An installer; archive: the bytes of a bundled jre.tar.gz (the search then finds nothing)."""
        values = {"launcherType": 1, "errorVmStart": "vm start failed", "errorNoJvm": "no runtime",
                  "searchSequence": search if search is not None else "A" + to_windows(self.home)}
        description = {"messages": MESSAGES, "resources": dict(resources or {})}
        if icon:
            with open(self.path("app.ico"), "wb") as f:
                f.write(ico([(32, dib_icon(32))]))
            description["resources"]["icon"] = "app.ico"
        if archive is not None:
            with open(self.path("bundle.tar.gz"), "wb") as f:
                f.write(archive)
            description["files"] = [{"name": "jre.tar.gz", "source": "bundle.tar.gz"}]
            values["searchSequence"] = "A" + self.windows_path("nowhere")
            try:
                values["jreArchiveSize"] = len(gzip.decompress(archive))
            except (OSError, EOFError):
                values["jreArchiveSize"] = 0
        values.update(strings)
        description["strings"] = values
        return self.package("setup", description, name=name, subdir=subdir)

    def standin_archive(self):
        """The stand-in runtime packed as tar and gzip pack a runtime: ustar, directories first."""
        subprocess.run(["tar", "--format=ustar", "-czf", self.path("jre.tar.gz"), "-C", self.home, "."], check=True)
        with open(self.path("jre.tar.gz"), "rb") as f:
            return f.read()

    def env(self, scenario="return", log=False):
        extra = {"ZENDRA_JVM_DOUBLE_RECORD": to_windows(self.record_path), "ZENDRA_JVM_DOUBLE_SCENARIO": scenario}
        if log:
            extra["ZENDRA_LOG"] = "yes"
        return extra

    def log_text(self):
        names = self.logs_in(self.dir)
        self.assertEqual(len(names), 1, names)
        return self.log_of(names[0])

    def log_of(self, name):
        """The text of the log file name in the test's directory."""
        with open(self.path(name), "rb") as f:
            return f.read().decode("latin-1").replace("\r\n", "\n")

    def start(self, exe, args, env):
        return subprocess.Popen(command(exe, args, {"TMP": to_windows(self.dir)}), stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, env=wine_env(env), cwd=self.dir, stdin=subprocess.DEVNULL)

    def watch(self, proc, title, action):
        """Waits for proc's window with this title, does action(window), then waits for the
        end; returns the exit code (the process is killed if anything fails)."""
        try:
            window = wait_for_window(proc, "^%s$" % re.escape(title), timeout=WAIT)
            if window is None:
                ended = proc.poll()
                out, err = proc.communicate() if ended is not None else (b"", b"")
                logs = "".join(self.log_of(name) for name in self.logs_in(self.dir))
                self.fail("no window %r; exit code %s, stdout %r, stderr %r, log:\n%s" % (title, ended, out, err, logs))
            action(window)
            return proc.wait(timeout=WAIT)
        finally:
            if proc.poll() is None:
                proc.kill()
                proc.wait()


class QuietRunTest(SetupTestCase):
    def test_quiet_runs_in_turn(self):
        # One after the other on the same marks: a run that starts the installer leaves the
        # global mark; a run that finds no runtime clears it; a language restart sets none and
        # uses the "jre" directory of the current directory.
        found = self.installer("found")
        nowhere = self.installer("nowhere", search="A" + self.windows_path("nowhere"), icon=False)
        rows = [  # exe, arguments, exit code, standard output, marks after, last arguments of main
            (found, ["-q", "two words"], 0, "", {"InstallStarted": 1}, ["-q", "two words"]),
            (nowhere, ["-q"], 83, "No JRE found. Aborting.\n", {}, None),
            (nowhere, ["__qln_lang_restart"], 0, "", {}, ["__qln_lang_restart"]),
        ]
        for exe, args, code, stdout, left, main_args in rows:
            with self.subTest(args):
                result = self.run_exe(exe, args, env=self.env(), cwd=self.shared,
                                      win_env={"TMP": to_windows(self.dir)})
                self.assertEqual((result.code, result.stdout), (code, stdout), result)
                self.assertEqual(marks(), left)
                if main_args is None:
                    self.assertFalse(os.path.exists(self.record_path))
                else:
                    self.assertEqual(Record(self.record_path).arguments()[-len(main_args):], main_args)
                if code == 0:
                    self.assertEqual(self.logs_in(self.dir), [], "a normal end removes the installer's log")
                for name in self.logs_in(self.dir):
                    os.remove(self.path(name))
                if os.path.exists(self.record_path):
                    os.remove(self.record_path)

    def test_splash_switch_shows_the_splash_in_a_quiet_run(self):
        with open(self.path("splash.bmp"), "wb") as f:
            f.write(splash_screen.make_bitmap.bmp_bytes(splash_screen.WIDTH, splash_screen.HEIGHT))
        exe = self.package_setup(resources={"splashBitmap": "splash.bmp"}, icon=False, **splash_screen.SPLASH)
        go = self.path("go")
        proc = self.start(exe, ["-q", "-splash"], self.env("return await=%s" % to_windows(go), log=True))
        code = self.watch(proc, splash_screen.TITLE, lambda window: open(go, "w").close())
        self.assertEqual(code, 0)
        log = self.log_text()
        self.assertIn("Showing splash screen.\n", log)
        self.assertNotIn("Quiet installer.\n", log)


class BundledRuntimeTest(SetupTestCase):
    def test_bundled_runtime_is_checked_unpacked_and_used_and_damage_stops_it_unless_unchecked(self):
        exe = self.package_setup(archive=self.standin_archive(), icon=False)
        result = self.run_exe(exe, ["-q"], env=self.env(log=True), win_env={"TMP": to_windows(self.dir)})
        self.assertEqual(result.code, 0, result)
        self.assertEqual(Record(self.record_path).arguments()[-1], "-q")
        log = self.log_text()
        self.assertIn("verifying integrity length", log)
        work = to_unix(log.split("Current working dir: ")[1].split("\n")[0])
        self.assertIn(("JRE dir: %s\\jre\n" % to_windows(work)).lower(), log.lower())
        self.assertTrue(os.path.isfile(os.path.join(work, "jre", "bin", "server", "jvm.dll")))
        self.assertFalse(os.path.exists(os.path.join(work, "jre.tar.gz")), "the archive is deleted")
        os.remove(self.record_path)

        with open(exe, "r+b") as f:
            f.seek(-1, os.SEEK_END)
            last = f.read(1)
            f.seek(-1, os.SEEK_END)
            f.write(bytes([last[0] ^ 0x01]))
        result = self.run_with_boxes(exe, ["-q"], env=self.env())
        self.assertEqual(result.code, 1, result)
        self.assertEqual([b.text for b in result.boxes], [MESSAGES["msgDataDamaged"]])
        self.assertFalse(os.path.exists(self.record_path))
        result = self.run_exe(exe, ["-q", "-nocheck"], env=self.env())
        self.assertEqual(result.code, 0, result)

    def test_hostile_archives_fail_and_write_nothing_outside(self):
        self.maxDiff = None
        watched = [self.dir, to_unix("C:\\")]
        before = {top: set(files_below(top)) for top in watched}
        # Escaping names, a link, an overflowing size, a cut stream, a foreign header, an
        # archive without files and an empty one (which the included-file extraction never
        # writes out); the other damaged forms are left to the unpacking unit tests.
        chosen = ("parent", "absolute", "drive", "unc", "symlink", "huge-size", "truncated", "no-magic",
                  "only-directories", "empty")
        lines = {name: archives.HOSTILE[name][1] for name in chosen}
        lines["empty"] = "The bundled JRE archive is empty"
        exes = {name: self.package_setup(archive=archives.HOSTILE[name][0](), icon=False, name=name + "-setup.exe")
                for name in chosen}
        # The runs are independent of each other: all at once.
        procs = {name: subprocess.Popen(command(exe, ["-q"], {"TMP": to_windows(self.dir)}), stdout=subprocess.PIPE,
                                        stderr=subprocess.PIPE, env=wine_env(self.env()), cwd=self.dir,
                                        stdin=subprocess.DEVNULL)
                 for name, exe in exes.items()}
        results = {}
        try:
            for name, proc in procs.items():
                stdout, stderr = proc.communicate(timeout=2 * WAIT)
                results[name] = Result(proc.returncode, stdout.decode("latin-1"),
                                       stderr.decode("latin-1").replace("\r\n", "\n"))
        finally:
            for proc in procs.values():
                if proc.poll() is None:
                    proc.kill()
                    proc.wait()
        for name in chosen:
            with self.subTest(name):
                result = results[name]
                self.assertEqual(result.code, 1, result)
                self.assertIn("ERROR: " + lines[name], self.read_log(result))
                if not lines[name].startswith("Could not open file"):
                    self.assertIn("The bundled JRE is corrupted.", result.stderr)
                os.remove(self.log_path(result))
        self.assertFalse(os.path.exists("/x"))
        for top in watched:
            added = sorted(set(files_below(top)) - before[top])
            # Besides the test's own files only the per-run directories (with nothing but their
            # archive and "jre") and their name probes may be new.
            added = [p for p in added if not p.endswith((".tar.gz", ".json", "setup.exe", "jvm-record.txt"))
                     and not PER_RUN.search(p)]
            self.assertEqual(added, [], "written outside the runtime directory below " + top)


# A per-run directory's name probe, the directory, its archive and its "jre" tree.
PER_RUN = re.compile(r"/znd[0-9a-f]+\.tmp(_dir[0-9]+(/jre\.tar\.gz|/jre(/.*)?)?)?$", re.I)


def files_below(top):
    """Every file and directory below top, as paths."""
    for base, dirs, files in os.walk(top):
        for name in dirs + files:
            yield os.path.join(base, name)


class ProgressDialogTest(SetupTestCase):
    def test_dialog_shows_until_the_installer_window_is_up(self):
        go = self.path("go")
        proc = self.start(self.installer("found"), [], self.env("await=%s window sleep=1500" % to_windows(go),
                                                                 log=True))

        def screenshot_then_go(window):
            time.sleep(0.5)
            shot = save_screenshot(os.path.join(SHOTS, "progress-dialog.png"))
            print("progress dialog screenshot: " + shot)
            own = [name for name in marks() if name != "InstallStarted"]
            self.assertEqual(len(own), 1, "the per-process mark is set while the dialog waits")
            open(go, "w").close()

        self.assertEqual(self.watch(proc, CAPTION, screenshot_then_go), 0)
        self.assertEqual(marks(), {"InstallStarted": 1})
        log = self.log_text()
        self.assertIn("Java window visible\n", log)
        self.assertLess(log.index("Starting work\n"), log.index("Java window visible\n"))

    def test_escape_cancels_clears_both_marks_and_ends_with_zero(self):
        proc = self.start(self.installer("found"), [], self.env("await=%s" % self.windows_path("never"), log=True))

        def escape_once_marked(window):
            deadline = time.monotonic() + WAIT
            while len(marks()) < 2 and time.monotonic() < deadline:
                time.sleep(0.2)
            self.assertEqual(len(marks()), 2)
            subprocess.run(["xdotool", "key", "--window", window, "Escape"], capture_output=True)

        self.assertEqual(self.watch(proc, CAPTION, escape_once_marked), 0)
        self.assertEqual(marks(), {})
        self.assertIn("Canceled installer\n", self.log_text())

    def test_interrupted_attempt_asks_first(self):
        # Without a dialog (property 155): no answers the question and the run goes on (yes
        # leads to the runtime question, see test_question).
        exe = self.installer("dialog-for-download", dialogOnlyForDownload=1)
        for keys, code in ((("n",), 0),):
            reg("add", MARKS, "/v", "InstallStarted", "/t", "REG_DWORD", "/d", "1", "/f")
            result = self.run_with_boxes(exe, [], env=self.env(), keys=keys)
            self.assertEqual(result.code, code, result)
            self.assertEqual(result.boxes[0].text, MESSAGES["msgInterruptedQuestion"])


if __name__ == "__main__":
    unittest.main()
