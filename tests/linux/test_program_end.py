"""What main receives and how the program's end becomes the launcher's exit code."""
import os
import unittest

from harness import JDK, LinuxLauncherTestCase, jar


class LaunchArguments(LinuxLauncherTestCase):
    def test_fixed_items_then_configured_then_given_arguments(self):
        exe = self.package({"launchText": "zt.Main", "launchArguments": "conf \"with space\""})
        given = ["plain", "two words", 'quo"te', "", "ünïcödé", "tab\there"]
        result = self.run_launcher(exe, given, env=self.java_env())
        self.assertRan(result)
        self.assertEqual(result.items(), {0: "true", 1: "zt.Main", 2: "", 3: "", 4: "false", 5: exe})
        self.assertEqual(result.args(), ["conf", "with space", *given])
        self.assertIn("main done", result.stdout)

    def test_argument_with_both_quote_characters_arrives_unchanged(self):
        given = ["it's \"quoted\"", "after"]
        result = self.run_launcher(self.package(), given, env=self.java_env())
        self.assertRan(result)
        self.assertEqual(result.args(), given)

    def test_executable_in_a_directory_with_blanks(self):
        exe = self.package(directory=self.box.make("my apps", "e2e app"), name="the app")
        with open(exe + ".vmoptions", "w") as f:
            f.write("-Dzt.beside=found\n")
        result = self.run_launcher(exe, ["x y"], env=self.java_env())
        self.assertRan(result)
        self.assertEqual((result.items()[5], result.args()), (exe, ["x y"]))
        self.assertEqual(result.properties()["zendra.moduleName"], exe)
        self.assertEqual(result.properties().get("zt.beside"), "found")

    def test_launcher_properties(self):
        exe = self.package({"launcherType": 2})
        result = self.run_launcher(exe, env=self.java_env())
        self.assertRan(result)
        self.assertEqual(result.items()[0], "false", "launcher type 2 is not a windowed application")
        props = result.properties()
        self.assertEqual(props["zendra.moduleName"], exe)
        self.assertEqual(props["zendra.tempDir"], "", "no included files: no per-run directory")
        self.assertNotIn("zendra.processCommFile", props, "only single-instance mode names a hand-over file")
        self.assertTrue(props["java.class.path"].startswith(os.path.join(self.box.app, "runtime.jar")), props)


class ProgramEnd(LinuxLauncherTestCase):
    def test_main_returning_ends_with_zero(self):
        result = self.run_launcher(self.package(), env=self.java_env())
        self.assertRan(result, 0)
        self.assertIn("main done", result.stdout)
        self.assertIn("launch done", result.log)

    def test_system_exit_status_is_the_exit_code(self):
        exe = self.package()
        for status in (7, 255):
            with self.subTest(status=status):
                result = self.run_launcher(exe, ["--exit=%d" % status], env=self.java_env())
                self.assertRan(result, status)
                self.assertNotIn("main done", result.stdout)
                self.assertEqual(result.stderr, "")

    def test_exception_from_main_shows_the_start_text_and_ends_with_one(self):
        result = self.run_launcher(self.package(), ["--throw=broken on purpose"], env=self.java_env())
        self.assertRan(result, 1)
        self.assertIn("java.lang.IllegalStateException: broken on purpose", result.stderr)
        log_path = os.path.join(self.box.tmp, self.box.logs()[-1])
        self.assertTrue(result.stderr.endswith("E2E App: E2E App could not start its Java program.\n\nLog: %s\n"
                                               % log_path), result.stderr)
        self.assertIn("an exception occured", result.log)

    def test_exception_with_errors_on_standard_error_has_no_caption(self):
        result = self.run_launcher(self.package(), ["-q_qln_internal", "--throw=x"], env={"JAVA_HOME": JDK,
                                                                                          "ZENDRA_LOG": None})
        self.assertEndedWithoutLog(result, 1)
        self.assertTrue(result.stderr.endswith("\nE2E App could not start its Java program.\n"), result.stderr)

    def assertEndedWithoutLog(self, result, code):
        self.assertEqual(result.code, code, result)
        self.assertEqual(result.logs, [], "without ZENDRA_LOG no log is written")

    def test_missing_launcher_class(self):
        exe = self.package({"classPath": "A1nothing.jar"})
        os.remove(os.path.join(self.box.app, "runtime.jar"))
        result = self.run_launcher(exe, ["-q_qln_internal"], env=self.java_env())
        self.assertEqual(result.code, 1, result)
        self.assertIn("A required file is missing: nothing.jar", result.stderr)

    def test_launcher_class_missing_from_an_optional_entry(self):
        exe = self.package({"classPath": "A0" + jar("included")})
        result = self.run_launcher(exe, ["-q_qln_internal"], env={"JAVA_HOME": JDK, "ZENDRA_LOG": None})
        self.assertEqual(result.code, 1, result)
        self.assertEqual(result.stderr, "The launcher class of E2E App is missing.\n")


if __name__ == "__main__":
    unittest.main()
