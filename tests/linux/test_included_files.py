"""Files the launcher carries: extracted into a per-run directory at start, jar files there lead
the class path, and the directory does not outlive the launcher."""
import os
import unittest

from harness import LinuxLauncherTestCase, jar


class IncludedFiles(LinuxLauncherTestCase):
    FILES = [{"name": "included.jar", "source": None}, {"name": "data.txt", "text": "payload äö"},
             {"name": "lib\\native.txt", "text": "second level"}]

    def package_with_files(self):
        files = [dict(entry) for entry in self.FILES]
        files[0]["source"] = jar("included")
        return self.package(files=files)

    def run_directory(self, result):
        temp = result.properties().get("zendra.tempDir", "")
        self.assertTrue(temp, result)
        return temp

    def test_included_jar_runs_from_the_class_path_and_files_are_extracted(self):
        exe = self.package_with_files()
        result = self.run_launcher(exe, ["--call=zt.included.Greeter", "--read=data.txt", "--read=lib/native.txt"],
                                   env=self.java_env())
        self.assertRan(result)
        temp = self.run_directory(result)
        self.assertEqual(os.path.dirname(temp), os.path.join(self.box.runtime, "zendra"),
                         "the per-run directory is in the user's private directory")
        self.assertEqual(result.lines("called zt.included.Greeter"), ["from " + os.path.join(temp, "included.jar")])
        self.assertEqual(result.lines("read data.txt"), ["payload äö"])
        self.assertEqual(result.lines("read lib/native.txt"), ["second level"])
        self.assertTrue(result.properties()["java.class.path"].startswith(os.path.join(temp, "included.jar") + ":"))
        self.assertEqual(result.properties()["zendra.unextractedPosition"], str(os.path.getsize(exe)))

    def test_run_directory_stays_for_the_application_after_a_normal_end(self):
        # Only a fatal end removes it; otherwise the application was told where it is
        # (zendra.tempDir) and owns it from then on.
        exe = self.package_with_files()
        for name, args, code in (("main returns", [], 0), ("System.exit", ["--exit=4"], 4)):
            with self.subTest(name):
                result = self.run_launcher(exe, args, env=self.java_env())
                self.assertRan(result, code)
                temp = self.run_directory(result)
                self.assertEqual(result.properties()["zendra.tempDir"], temp)
                self.assertTrue(os.path.isfile(os.path.join(temp, "included.jar")))

    def test_exception_from_main_removes_the_run_directory(self):
        result = self.run_launcher(self.package_with_files(), ["--throw=x"], env=self.java_env())
        self.assertRan(result, 1)
        self.assertFalse(os.path.exists(self.run_directory(result)))

    def test_fatal_end_before_the_vm_removes_the_run_directory(self):
        exe = self.package_with_files()
        result = self.run_launcher(exe, ["-q_qln_internal"], env={"JAVA_HOME": self.box.nobin})
        self.assertEqual(result.code, 83, result)
        self.assertRegex(result.log, r"Temp dir: \S+/znd_dir\w{6}\n")
        self.assertEqual([n for n in os.listdir(os.path.join(self.box.runtime, "zendra")) if n.startswith("znd")], [])


if __name__ == "__main__":
    unittest.main()
