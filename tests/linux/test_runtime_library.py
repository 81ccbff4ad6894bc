"""An application on zendra-runtime.jar, started by the launcher with the real VM: its launch
view, the removal of its per-run directory, single-instance hand-over to its listener, and the
service stop through its standard input."""
import os
import shutil
import subprocess
import time
import unittest

from harness import LinuxLauncherTestCase, jar

RUNTIME_JAR = os.environ.get("ZENDRA_RUNTIME_JAR", "")


class RuntimeLibrary(LinuxLauncherTestCase):
    def package_app(self, strings=None, files=None):
        """The test application and the library beside the launcher, both on its class path."""
        for source, name in ((RUNTIME_JAR, "zendra-runtime.jar"), (jar("library"), "library.jar")):
            shutil.copyfile(source, os.path.join(self.box.app, name))
        merged = {"classPath": "A1zendra-runtime.jar;A1library.jar", "launchText": "zt.lib.App"}
        merged.update(strings or {})
        return self.package(merged, files)

    def view(self, result):
        return dict(line[len("view "):].split("=", 1) for line in result.stdout.splitlines()
                    if line.startswith("view "))

    def test_launch_view_and_the_per_run_directory_removed_at_a_normal_end(self):
        exe = self.package_app(files=[{"name": "data.txt", "text": "payload"}, {"name": "lib\\more.txt", "text": "x"}])
        for name, args, code, kept in (("main returns", [], 0, False), ("System.exit", ["--exit=4"], 4, False),
                                       ("kept on request", ["--keep-temp"], 0, True)):
            with self.subTest(name):
                result = self.run_launcher(exe, args, env=self.java_env())
                self.assertRan(result, code)
                props, view = result.properties(), self.view(result)
                temp = props["zendra.tempDir"]
                self.assertEqual(view, {"executable": exe, "program": exe, "launchText": "zt.lib.App", "gui": "true",
                                        "service": "false", "singleInstance": "false",
                                        "semaphore": props["zendra.semaphoreName"], "tempDir": temp,
                                        "codePage": props["zendra.consoleCodepage"][2:]}, result)
                self.assertIn("included files=[data.txt, lib/more.txt], data.txt at %s/data.txt" % temp, result.stdout)
                self.assertEqual(os.path.isdir(temp), kept, temp)

    def test_second_start_hands_its_arguments_to_a_listener_added_later(self):
        exe = self.package_app({"singleInstance": 1})
        first = self.start(exe, ["--handovers=1,3000"], env=self.java_env())
        self.assertTrue(first.wait_for_line("started"), first.seen)

        given = ["alpha", "two words", "ünïcödé 日本", 'say "hi"', "it's", "C:\\Program Files\\x.txt"]
        began = time.monotonic()
        second = self.run_launcher(exe, given, env=self.java_env())
        took = time.monotonic() - began
        self.assertEqual((second.code, second.stdout), (0, ""), second)
        print("second start took %.0f ms" % (took * 1000))
        # The file was taken before any listener existed: the second start did not wait for one.
        self.assertFalse(first.wait_for_line("listener added", timeout=0.2), first.seen)
        self.assertLess(took, 2.5)

        ended = first.finish()
        self.assertEqual(ended.code, 0, ended)
        self.assertEqual(ended.lines("handed over"), [str(len(given))], ended)
        self.assertEqual(ended.lines("handed"), given, ended)
        self.assertFalse(os.path.exists(os.path.join(self.box.tmp, "znd_p%d.tmp" % first.proc.pid)))

    def test_service_worker_stops_at_the_line_zero_on_its_standard_input(self):
        exe = self.package_app()
        with open(exe + ".vmoptions", "w") as f:
            f.write("-Dzendra.isService=true\n")
        for mode, timeout_ms in (("return", 20000), ("hang", 500)):
            with self.subTest(mode):
                running = self.start(exe, ["--stop-listener=%s,%d" % (mode, timeout_ms)], env=self.java_env(),
                                     stdin=subprocess.PIPE)
                self.assertTrue(running.wait_for_line("awaiting stop"), running.seen)
                running.proc.stdin.write(b"0\n")
                running.proc.stdin.flush()
                result = running.finish(timeout=15)
                self.assertEqual(result.code, 0, result)
                self.assertIn("view service=true", result.stdout)
                self.assertIn("stop listener runs", result.stdout)
                self.assertNotIn("never stopped", result.stdout)
                self.assertEqual("stop listener done" in result.stdout, mode == "return", result)
                self.assertEqual("did not end within %d ms" % timeout_ms in result.stderr, mode == "hang", result)


if __name__ == "__main__":
    unittest.main()
