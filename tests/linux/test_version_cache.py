"""The version cache in the per-user store: a runtime's "-version" run is remembered per program
and write time, so later starts do not run it again until the program changes."""
import os
import unittest

from harness import NO_RUNTIME, LinuxLauncherTestCase


class VersionCache(LinuxLauncherTestCase):
    def setUp(self):
        super().setUp()
        self.home = self.fake_runtime("counted")
        self.exe = self.package({"searchSequence": "A" + self.home})

    def launch(self):
        """One start of the packaged launcher that runs the program."""
        result = self.run_launcher(self.exe)
        self.assertRan(result)
        return result

    def test_second_start_takes_the_version_from_the_cache_until_the_program_changes(self):
        first = self.launch()
        self.assertEqual(self.runs_of(self.home), ["-version"])
        self.assertIn("got version from execution 17", first.log)
        store = os.path.join(self.box.state, "zendra", "user-store")
        self.assertTrue(os.path.exists(store), "the cache lives in the per-user store")

        second = self.launch()
        self.assertEqual(self.runs_of(self.home), ["-version"], "a cached version needs no run")
        self.assertIn("got version from registry 17", second.log)

        java = os.path.join(self.home, "bin", "java")
        stat = os.stat(java)
        os.utime(java, (stat.st_atime, stat.st_mtime + 60))
        third = self.launch()
        self.assertEqual(self.runs_of(self.home), ["-version", "-version"], "a newer program is run again")
        self.assertIn("got version from execution 17", third.log)

        self.launch()
        self.assertEqual(len(self.runs_of(self.home)), 2, "the new write time is cached in turn")

    def test_each_user_store_has_its_own_cache(self):
        self.launch()
        other_state = self.box.make("other-state")
        result = self.run_launcher(self.exe, env={"XDG_STATE_HOME": other_state})
        self.assertRan(result)
        self.assertEqual(self.runs_of(self.home), ["-version", "-version"])
        self.assertTrue(os.path.exists(os.path.join(other_state, "zendra", "user-store")))

    def test_failing_program_is_not_taken_from_the_cache(self):
        java = os.path.join(self.home, "bin", "java")
        with open(java, "w") as f:
            f.write('#!/bin/sh\necho "$*" >> \'%s/bin/runs\'\nexit 3\n' % self.home)
        for attempt in (1, 2):
            result = self.run_launcher(self.exe, ["-q_qln_internal"])
            self.assertEqual(result.code, NO_RUNTIME, result)
            self.assertIn("Exit Code 3", result.log)
            self.assertEqual(len(self.runs_of(self.home)), attempt, "a failed run is tried again at every start")


if __name__ == "__main__":
    unittest.main()
