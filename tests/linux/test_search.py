"""Finding the runtime: the entries of the search sequence, their order, and the version range."""
import os
import unittest

from harness import JDK, NO_RUNTIME, LinuxLauncherTestCase


class SearchSequence(LinuxLauncherTestCase):
    def java_of(self, home):
        return os.path.join(home, "bin", "java")

    def test_directory_entry(self):
        home = self.fake_runtime("dir")
        result = self.run_launcher(self.package({"searchSequence": "A" + home}))
        self.assertRan(result)
        self.assertEqual(result.loaded_runtime(), self.java_of(home))
        self.assertIn("Trying %s/bin/../lib/server/libjvm.so (exists 1)" % home, result.log)
        self.assertEqual(self.runs_of(home), ["-version"])

    def test_environment_variable_entry(self):
        home = self.fake_runtime("env")
        result = self.run_launcher(self.package({"searchSequence": "EMY_JAVA"}), env={"MY_JAVA": home})
        self.assertRan(result)
        self.assertEqual(result.loaded_runtime(), self.java_of(home))
        self.assertIn("Testing location MY_JAVA (type E)", result.log)

    def test_search_path_entry(self):
        home = self.fake_runtime("path")
        result = self.run_launcher(self.package({"searchSequence": "S"}),
                                   env={"PATH": "%s:%s/bin" % (self.box.nobin, home)})
        self.assertRan(result)
        self.assertEqual(result.loaded_runtime(), self.java_of(home))

    def test_first_usable_entry_wins_and_a_directory_without_runtime_is_skipped(self):
        not_runtime = self.box.make("not-a-runtime", "bin")
        first, second = self.fake_runtime("first"), self.fake_runtime("second")
        exe = self.package({"searchSequence": "A%s;EMY_JAVA;S" % os.path.dirname(not_runtime)})
        path = "%s:%s/bin" % (self.box.nobin, second)

        result = self.run_launcher(exe, env={"MY_JAVA": first, "PATH": path})
        self.assertRan(result)
        self.assertEqual(result.loaded_runtime(), self.java_of(first))
        self.assertIn("Testing location %s (type A)" % os.path.dirname(not_runtime), result.log)
        self.assertLess(result.log.index("(type A)"), result.log.index("(type E)"))
        self.assertEqual(self.runs_of(second), [], "a later entry must not even be checked")

        # Without the variable the search goes on to the executable search path.
        result = self.run_launcher(exe, env={"PATH": path})
        self.assertRan(result)
        self.assertEqual(result.loaded_runtime(), self.java_of(second))

    def test_later_directory_entry_when_the_first_fails_the_version_check(self):
        old, fitting = self.fake_runtime("old"), self.fake_runtime("fitting")
        with open(os.path.join(old, "bin", "java"), "w") as f:
            f.write('#!/bin/sh\necho "$*" >> \'%s/bin/runs\'\necho \'openjdk version "1.8.0_392"\' >&2\n' % old)
        result = self.run_launcher(self.package({"searchSequence": "A%s;A%s" % (old, fitting)}))
        self.assertRan(result)
        self.assertEqual(result.loaded_runtime(), self.java_of(fitting))
        self.assertEqual(self.runs_of(old), ["-version"])
        self.assertIn("got version from execution 1.8.0_392", result.log)


class VersionRange(LinuxLauncherTestCase):
    def test_minimum_above_the_runtime_refuses_it(self):
        exe = self.package({"minJavaVersion": "18"})
        result = self.run_launcher(exe, ["-q_qln_internal"], env=self.java_env())
        self.assertEqual(result.code, NO_RUNTIME, result)
        self.assertEqual(len(result.logs), 1, result)
        log_path = os.path.join(self.box.tmp, self.box.logs()[-1])
        self.assertEqual(result.stderr, "No 64-bit Java runtime fits E2E App.\n\nLog: %s\n" % log_path)
        self.assertEqual(result.stdout, "")
        self.assertRegex(result.log, r"got version from execution 17[.\d]*\n")
        self.assertNotIn("Creating JVM", result.log)

    def test_maximum_below_the_runtime_refuses_it(self):
        result = self.run_launcher(self.package({"minJavaVersion": "11", "maxJavaVersion": "16"}),
                                   ["-q_qln_internal"], env=self.java_env())
        self.assertEqual(result.code, NO_RUNTIME, result)
        self.assertTrue(result.stderr.startswith("No 64-bit Java runtime fits E2E App.\n"), result)

    def test_range_around_the_runtime_accepts_it(self):
        result = self.run_launcher(self.package({"minJavaVersion": "17", "maxJavaVersion": "17"}),
                                   env=self.java_env())
        self.assertRan(result)
        self.assertEqual(result.loaded_runtime(), os.path.join(JDK, "bin", "java"))
        self.assertRegex(result.properties()["java.version"], r"^17(\.|$)")


if __name__ == "__main__":
    unittest.main()
