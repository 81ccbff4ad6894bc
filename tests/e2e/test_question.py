"""The installer's question when no runtime fits, under Wine: download, locate a java.exe
with the file chooser (recorded for every later launcher run), or cancel.

Every dialog of the installer has the same caption (message 20013), so each step waits for a
window of that caption that was not seen before. Screenshots of the question are kept in
<build>/tests/e2e/setup-screenshots.
"""
import os
import subprocess
import time
import unittest

import runtimes
from harness import WINE, _TRACE, reg, reg_delete, save_screenshot, to_windows, wine_env
from test_launch import Record
from test_setup import CAPTION, MARKS, MESSAGES, SHOTS, WAIT, SetupTestCase, clear_marks, marks

LOCATED = r"SOFTWARE\orvane-labs\zendra\locatedjvms"
CHOOSER = "Where is java.exe?"  # "?" and "." are escaped for the search
# The question's texts join the installer tests' messages (package_setup packages these).
MESSAGES.update(msgNoJreDownload="No suitable %s-bit Java runtime was found. Download one?",
                msgNoJre="No suitable %s-bit Java runtime was found. Please locate one.",
                msgDownloadButton="Download", msgLocateButton="Locate...", msgChooseJavaTitle=CHOOSER,
                msgMinVersionLabel="at least", msgMaxVersionLabel="at most")
# A location nothing answers at (the discard port): the transfer fails quickly.
NOWHERE_URL = "http://127.0.0.1:9/jre.tar.gz"


def clear_located():
    for hive in ("HKLM", "HKCU"):
        reg_delete("%s\\%s" % (hive, LOCATED))


def screenshot(name, window):
    """Saves one window as a PNG (captures of the root window came out black here)."""
    print("screenshot: " + save_screenshot(os.path.join(SHOTS, name), window))


def has_owner(window):
    """Whether Wine made the window transient for another one (a Win32 owner)."""
    found = subprocess.run(["xprop", "-id", window, "WM_TRANSIENT_FOR"], capture_output=True, text=True).stdout
    return "window id" in found


def visible(title):
    pattern = "".join("\\" + c if c in ".?*+()[]{}|^$\\" else c for c in title)
    return subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^%s$" % pattern],
                          capture_output=True, text=True).stdout.split()


class QuestionTest(SetupTestCase):
    def setUp(self):
        super().setUp()
        clear_located()
        self.addCleanup(clear_located)
        self.picked = runtimes.make_runtime(self.path("picked jre"))
        self.seen = set()

    def wait_new(self, proc, title=CAPTION, owned=None):
        """A visible window of this title that no earlier step saw, once it has settled; owned:
        whether it must have an owner (dialogs of the installer's work) or none (the progress
        dialog and the interrupted-attempt question)."""
        deadline = time.monotonic() + WAIT
        while time.monotonic() < deadline:
            new = [w for w in visible(title) if w not in self.seen and owned in (None, has_owner(w))]
            if new:
                self.seen.add(new[0])
                time.sleep(0.5)
                return new[0]
            self.assertIsNone(proc.poll(), "the installer ended before a window %r showed" % title)
            time.sleep(0.1)
        self.fail("no new window %r" % title)

    def play(self, exe, args, steps, env):
        """Runs the installer through the steps; returns (exit code, number of message boxes)."""
        errpath = self.path("stderr.txt")
        env = dict(env, WINEDEBUG="-all,+msgbox")
        with open(errpath, "wb") as err:
            proc = subprocess.Popen([WINE, "cmd", "/c", "set", "TMP=%s&&" % to_windows(self.dir), to_windows(exe), *args],
                                    stdout=subprocess.DEVNULL, stderr=err, env=wine_env(env), cwd=self.dir,
                                    stdin=subprocess.DEVNULL)
            try:
                for step in steps:
                    step(proc)
                code = proc.wait(timeout=WAIT)
            finally:
                if proc.poll() is None:
                    proc.kill()
                    proc.wait()
        with open(errpath, "rb") as f:
            return code, sum(1 for line in f.read().decode("latin-1").splitlines() if _TRACE.search(line))

    def window(self, shot=None, key=None, owned=True):
        """Step: the next new window with an owner (the question, an error box of the work), or
        without one (the progress dialog, the interrupted-attempt question)."""
        def step(proc):
            w = self.wait_new(proc, owned=owned)
            if shot:
                screenshot(shot, w)
            if key:
                subprocess.run(["xdotool", "key", "--window", w, key], capture_output=True)
        return step

    def choose(self, path):
        """Step: the file chooser; types the path into its name field and confirms."""
        def step(proc):
            w = self.wait_new(proc, CHOOSER)
            screenshot("file-chooser.png", w)
            subprocess.run(["xdotool", "windowfocus", "--sync", w], capture_output=True)
            subprocess.run(["xdotool", "type", "--delay", "20", path], capture_output=True)
            subprocess.run(["xdotool", "key", "Return"], capture_output=True)
        return step

    def test_choices(self):
        java = to_windows(os.path.join(self.picked, "bin", "java.exe"))
        progress = self.window(owned=False)
        cases = [
            dict(name="download",
                 strings={"jreDownloadLocation": NOWHERE_URL, "minJavaVersion": "11", "maxJavaVersion": "21"},
                 steps=[progress, self.window("question-download.png", "Return"), self.window(key="Return")],
                 code=1, boxes=1, lines=["Download location: " + NOWHERE_URL, "Downloading JRE"]),
            # Yes to the interrupted-attempt question, in a run without a dialog of its own.
            dict(name="cancel", strings={"dialogOnlyForDownload": 1}, interrupted=True,
                 steps=[self.window(key="y", owned=False), progress, self.window(key="Escape")],
                 code=1, boxes=1, lines=[]),
            # A splash run: the progress dialog's thread carries the run on to its one launch.
            dict(name="splash", strings={"splashScreen": 1}, steps=[progress, self.window(key="Return"),
                                                                    self.choose(java)],
                 code=0, boxes=0, lines=["Showing splash screen."]),
            dict(name="locate", strings={}, steps=[progress, self.window("question-locate.png", "Return"),
                                                   self.choose(java)],
                 code=0, boxes=0, lines=["LoadDLL (1, %s, 1)" % java]),
        ]
        for case in cases:
            with self.subTest(case["name"]):
                clear_marks()
                clear_located()
                for f in self.logs_in(self.dir):
                    os.remove(self.path(f))
                if case.get("interrupted"):
                    reg("add", MARKS, "/v", "InstallStarted", "/t", "REG_DWORD", "/d", "1", "/f")
                self.seen = set()
                exe = self.package_setup(search="Y", **case["strings"])
                self.assertEqual(self.play(exe, [], case["steps"], self.env(log=True)), (case["code"], case["boxes"]))
                log = self.log_text()
                for line in case["lines"]:
                    self.assertIn(line + "\n", log)
                created = Record(self.record_path).values("JNI_CreateJavaVM")
                self.assertEqual(len(created), 1 if case["code"] == 0 else 0)  # one launch, never two
                if created:
                    os.remove(self.record_path)
                if case["name"] == "cancel":
                    self.assertEqual(marks(), {})
        # The key is the picked path as the chooser returned it, with "/" for "\\".
        self.assertIn("%s\\%s\r\n" % (LOCATED, java.replace("\\", "/")), reg("query", "HKLM\\" + LOCATED))

        # A later run of a launcher searching the registry ("Y") finds the located runtime.
        for f in self.logs_in(self.dir):
            os.remove(self.path(f))
        result = self.run_exe(exe, ["-q"], env=self.env(log=True), win_env={"TMP": to_windows(self.dir)})
        self.assertEqual(result.code, 0, result)
        self.assertIn("found located %s" % os.path.dirname(java).lower(), self.log_text().lower())
        self.assertTrue(os.path.exists(self.record_path))


if __name__ == "__main__":
    unittest.main()
