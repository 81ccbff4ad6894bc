"""The splash screen under Wine in a 1024x768 virtual display.

The real app-launcher is packaged with the test bitmap (the packaging tool's "resources") and
a fake runtime whose jvm.dll double answers the splash's controller polls (scenario words
action=N, text=WORD; sleep=MS keeps main running; await=FILE creates the VM only once the test
has seen the splash and made FILE). Finer cases use a test-only program
(tests/win/splash_probe.cpp), packaged the same way, whose command-line steps call showSplash,
hideSplash and setSplashStatusText directly over the real Win32 services, create the VM
through the double, open another window or report an error at chosen moments.
Screenshots (xwd) are compared with the configured geometry and the bitmap's colours exactly,
and with the text lines' places and colours tolerantly (splash_screen.py); they are kept in
<build>/tests/e2e/splash-screenshots.
"""

import os
import shutil
import subprocess
import time
import unittest

import runtimes
from harness import LAUNCHERS, to_windows
from splash_screen import (HEIGHT, ORIGIN, POLL_LIMIT_MS, SPLASH_LIBRARY, STATUS, VERSION, WAIT, WIDTH,
                           SplashTestCase)


class SplashWindowTest(SplashTestCase):

    def test_window_is_centred_with_the_bitmap_and_both_lines(self):
        exe = self.package_probe()
        self.start(exe, ["show", "mark=" + self.marks("shown")[0], "await=" + self.marks("done")[0]])
        self.wait_file("shown")
        self.wait_splash()
        self.assertEqual(self.geometry(self.splash_window()), (*ORIGIN, WIDTH, HEIGHT))
        shot = self.painted_shot("shown")
        self.assert_bitmap(shot)
        self.assert_text_line(shot, STATUS)
        self.assert_text_line(shot, VERSION)
        self.step("done")
        code, log = self.finish()
        self.assertEqual(code, 0)
        self.assertIn("Starting splash screen thread\nShowing splash screen\nInitializing splash screen\n", log)

    def test_controller_replaces_the_status_line(self):
        exe = self.package_probe()
        marks = self.marks("shown", "go", "polled", "done")
        self.start(exe, ["show", "mark=" + marks[0], "await=" + marks[1], "vm", "sleep=600", "mark=" + marks[2],
                         "await=" + marks[3]], scenario="return action=2 text=Controller-text")
        self.wait_file("shown")
        self.wait_splash()
        before = self.painted_shot("initial-status")
        self.step("go")
        self.wait_file("polled")
        after = self.screenshot("controller-status")
        self.assert_bitmap(after)
        self.assert_text_line(after, STATUS)
        self.assertNotEqual(self.text_pixels(before, STATUS), self.text_pixels(after, STATUS),
                            "the controller's text did not replace the status line")
        self.assertEqual(self.text_pixels(before, VERSION), self.text_pixels(after, VERSION))
        self.step("done")
        code, _ = self.finish()
        self.assertEqual(code, 0)
        calls = self.read("jvm-record.txt")
        # The polling thread attaches as a daemon, so that it cannot hold up DestroyJavaVM.
        self.assertIn("AttachCurrentThreadAsDaemon\n", calls)
        self.assertNotIn("AttachCurrentThread\n", calls)
        self.assertIn("CallStaticIntMethod com/zendra/runtime/ZendraController getAction ()I", calls)
        self.assertIn("CallStaticObjectMethod com/zendra/runtime/ZendraController getText ()Ljava/lang/String;", calls)
        self.assertNotIn("fault", calls)

    def test_launcher_replaces_the_status_line(self):
        exe = self.package_probe()
        marks = self.marks("shown", "go", "set", "done")
        self.start(exe, ["show", "mark=" + marks[0], "await=" + marks[1], "status=Almost-ready", "mark=" + marks[2],
                         "await=" + marks[3]])
        self.wait_file("shown")
        self.wait_splash()
        before = self.painted_shot("initial-status")
        self.step("go")
        self.wait_file("set")  # the repaint is done when the call returns
        after = self.screenshot("new-status")
        self.assert_text_line(after, STATUS)
        self.assertGreater(len(self.text_pixels(after, STATUS)), len(self.text_pixels(before, STATUS)),
                           "a longer status text should cover more pixels")
        self.assertEqual(self.text_pixels(before, VERSION), self.text_pixels(after, VERSION))
        self.step("done")
        self.assertEqual(self.finish()[0], 0)

    def test_controller_hides_the_splash_and_the_thread_detaches(self):
        exe = self.package_probe()
        marks = self.marks("shown", "go", "hidden", "done")
        self.start(exe, ["show", "mark=" + marks[0], "await=" + marks[1], "vm", "hidden=" + marks[2],
                         "await=" + marks[3]], scenario="return action=1")
        self.wait_file("shown")
        self.wait_splash()
        self.painted_shot("before-hide")
        self.step("go")
        self.wait_file("hidden")
        self.assertLess(int(self.read("hidden")), POLL_LIMIT_MS, "ms from the VM's creation to the hide")
        self.wait_splash(visible=False)
        self.assert_no_splash_colours(self.screenshot("hidden-by-controller"))
        deadline = time.monotonic() + WAIT
        while "DetachCurrentThread" not in self.read("jvm-record.txt"):
            self.assertLess(time.monotonic(), deadline, "the splash thread never detached")
            time.sleep(0.1)
        self.step("done")
        code, log = self.finish()
        self.assertEqual(code, 0)
        self.assertIn("Hiding splash screen\n", log)
        self.assertNotIn("fault", self.read("jvm-record.txt"))

    def test_another_window_of_the_process_switches_the_splash_off(self):
        exe = self.package_probe({"splashAutoOff": 1})
        marks = self.marks("shown", "go", "hidden", "done")
        self.start(exe, ["show", "mark=" + marks[0], "await=" + marks[1], "window", "hidden=" + marks[2],
                         "await=" + marks[3]])
        self.wait_file("shown")
        self.wait_splash()
        self.painted_shot("before-window")
        time.sleep(0.5)
        self.assertIsNotNone(self.splash_window(), "the splash alone switched itself off")
        self.step("go")
        self.wait_file("hidden")
        self.assertLess(int(self.read("hidden")), POLL_LIMIT_MS, "ms from the other window to the hide")
        self.wait_splash(visible=False)
        self.assert_no_splash_colours(self.screenshot("auto-off"))
        other = subprocess.run(["xdotool", "search", "--onlyvisible", "--name", "^splash probe window$"],
                               capture_output=True, text=True).stdout.split()
        self.assertTrue(other, "the probe's own window is gone too")
        self.step("done")
        code, log = self.finish()
        self.assertEqual(code, 0)
        self.assertIn("Splash screen auto off\nHiding splash screen\n", log)

    def test_error_hides_the_splash_before_its_box_which_stays(self):
        exe = self.package_probe()
        marks = self.marks("shown", "go")
        self.start(exe, ["show", "mark=" + marks[0], "await=" + marks[1], "fatal=Splash-test-failure"])
        self.wait_file("shown")
        self.wait_splash()
        self.painted_shot("before-error")
        self.step("go")
        self.assert_box_outlives_the_splash(self.wait_box())
        code, log = self.finish()
        self.assertEqual(code, 1)
        self.assertIn("Splash-test-failure", self.read("probe.err"))  # the box's text (Wine's trace)
        self.assertIn("Hiding splash screen\n", log)

    def test_hide_before_the_window_exists_shows_nothing(self):
        exe = self.package_probe()
        marks = self.marks("done")
        self.start(exe, ["hide", "show", "sleep=1500", "mark=" + marks[0]])
        self.wait_file("done")
        self.assertIsNone(self.splash_window())
        code, log = self.finish()
        self.assertEqual(code, 0)
        self.assertIn("Hiding splash screen\nStarting splash screen thread\nShowing splash screen\n", log)
        self.assertNotIn("Initializing splash screen", log)

    def test_missing_bitmap_leaves_a_grey_window(self):
        exe = self.package_probe(resources={})
        marks = self.marks("shown", "done")
        self.start(exe, ["show", "mark=" + marks[0], "await=" + marks[1]])
        self.wait_file("shown")
        self.wait_splash()
        time.sleep(0.5)
        shot = self.screenshot("no-bitmap")
        self.assertEqual(shot.pixel(ORIGIN[0] + 2, ORIGIN[1] + 2), (192, 192, 192))  # the light grey stock brush
        self.assertEqual(shot.pixel(ORIGIN[0] + WIDTH - 1, ORIGIN[1] + HEIGHT - 1), (192, 192, 192))
        self.assert_text_line(shot, STATUS)
        self.step("done")
        self.assertEqual(self.finish()[0], 0)


class AppLauncherSplashTest(SplashTestCase):
    """The splash in the application launcher's own flow: shown before the runtime search."""

    def setUp(self):
        super().setUp()
        self.home = runtimes.make_runtime(self.path("jre"))

    def launcher(self, strings=None, resources=None):
        values = {"searchSequence": "A" + to_windows(self.home), "errorNoJvm": "no runtime {0}",
                  "errorVmStart": "vm start failed"}
        values.update(strings or {})
        return self.package_probe(values, resources, name="launcher.exe", base=LAUNCHERS["app"])

    def calls(self):
        return self.read("jvm-record.txt") if os.path.exists(self.jvm_record) else ""

    def test_splash_is_up_while_the_application_starts(self):
        # The VM comes on the test's go-ahead (see the next test); main then runs for 2 s.
        go = self.path("go")
        self.start(self.launcher(), [], scenario="return sleep=2000 action=0 await=" + to_windows(go), probe=False)
        self.wait_splash(timeout=3 * WAIT)
        self.assertEqual(self.geometry(self.splash_window()), (*ORIGIN, WIDTH, HEIGHT))
        shot = self.painted_shot("app-launcher")
        self.assert_bitmap(shot)
        self.assert_text_line(shot, STATUS)
        self.assert_text_line(shot, VERSION)
        open(go, "w").close()
        # The splash stays to the end, and its thread, attached as a daemon, does not hold it up.
        self.assertEqual(self.proc.wait(timeout=60), 0)
        calls = self.calls()
        self.assertIn("CallStaticIntMethod com/zendra/runtime/ZendraController getAction ()I", calls)
        self.assertEqual(calls.count("AttachCurrentThreadAsDaemon\n"), 1)
        self.assertNotIn("AttachCurrentThread\n", calls)
        self.assertNotIn("fault", calls)

    def test_controller_closes_the_splash_while_main_runs(self):
        # The controller hides the splash at its first poll after the VM exists, so the VM may
        # come only once the splash has been seen: the double creates it on the test's go-ahead
        # (file "go"). Without it the VM could be there before Wine has even mapped the window.
        go = self.path("go")
        self.start(self.launcher(), [], scenario="return sleep=6000 action=1 await=" + to_windows(go), probe=False)
        self.wait_splash(timeout=3 * WAIT)  # a first window in a fresh prefix may take a while
        self.painted_shot("app-launcher-before-hide")
        open(go, "w").close()
        self.wait_splash(visible=False)
        self.assertIsNone(self.proc.poll(), "the splash went only with the process")
        self.screenshot("app-launcher-hidden")
        self.assertEqual(self.proc.wait(timeout=60), 0)
        calls = self.calls()
        self.assertIn("AttachCurrentThreadAsDaemon", calls)
        self.assertIn("DetachCurrentThread", calls)
        self.assertNotIn("fault", calls)

    def test_no_runtime_error_hides_the_splash_first(self):
        self.start(self.launcher({"searchSequence": "A" + to_windows(self.path("nowhere"))}), [], probe=False)
        self.assert_box_outlives_the_splash(self.wait_box())
        self.assertEqual(self.proc.wait(timeout=60), 83)
        self.assertIn("no runtime", self.read("probe.err"))  # the box's text (Wine's trace)

    def test_runtime_splash_library_takes_the_image_after_the_runtime_is_loaded(self):
        shutil.copyfile(SPLASH_LIBRARY, os.path.join(self.home, "bin", "splashscreen.dll"))
        image = self.path("image.gif")
        with open(image, "wb") as f:
            f.write(b"GIF89a" + bytes(range(30)))
        record = self.path("splash-record.txt")
        exe = self.launcher({"useJavaSplash": 1}, resources={"splashImage": "image.gif"})
        self.start(exe, [], scenario="return", env={"ZENDRA_SPLASH_DOUBLE_RECORD": to_windows(record)}, probe=False)
        self.assertEqual(self.proc.wait(timeout=60), 0)
        self.assertIsNone(self.splash_window())
        data = open(image, "rb").read()
        self.assertEqual(self.read("splash-record.txt").splitlines(),
                         ["SplashInit", "SplashLoadMemory %d %s" % (len(data), data[:16].hex())])


class RuntimeSplashTest(SplashTestCase):
    """The Java runtime's splash library (property 10123) with its stand-in, splashscreen.dll."""

    def setUp(self):
        super().setUp()
        self.image = self.path("image.gif")
        with open(self.image, "wb") as f:
            f.write(b"GIF89a" + bytes(range(40)))
        self.library_record = self.path("splash-record.txt")

    def run_probe(self, home):
        exe = self.package_probe({"useJavaSplash": 1}, resources={"splashImage": "image.gif"})
        self.start(exe, ["jre=" + to_windows(home), "show", "hide", "show"],
                   env={"ZENDRA_SPLASH_DOUBLE_RECORD": to_windows(self.library_record)})
        return self.finish()

    def test_image_resource_goes_to_the_library_and_is_closed(self):
        home = self.path("jre")
        os.makedirs(os.path.join(home, "bin"))
        shutil.copyfile(SPLASH_LIBRARY, os.path.join(home, "bin", "splashscreen.dll"))
        code, log = self.run_probe(home)
        self.assertEqual(code, 0)
        data = open(self.image, "rb").read()
        self.assertEqual(self.read("splash-record.txt").splitlines(),
                         ["SplashInit", "SplashLoadMemory %d %s" % (len(data), data[:16].hex()), "SplashClose"])
        self.assertIn("loading splashscreen dll from %s\\bin\\splashscreen.dll\n" % to_windows(home), log)
        self.assertRegex(log, r"splash load memory returned 1 \([0-9A-Fa-fx]+, [0-9A-Fa-fx]+, %d\)\n" % len(data))
        self.assertIsNone(self.splash_window())

    def test_runtime_without_the_library_starts_without_splash(self):
        home = self.path("jre")
        os.makedirs(os.path.join(home, "bin"))
        code, log = self.run_probe(home)
        self.assertEqual(code, 0)
        self.assertEqual(log.count("ERROR: Could not load splashscreen.dll\n"), 2)  # the hide did not count it
        self.assertFalse(os.path.exists(self.library_record))


if __name__ == "__main__":
    unittest.main()
