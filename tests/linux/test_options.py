"""VM options: the record's own, "-J" arguments and the default option file beside the
executable with its include chain; all of them reach the program as system properties."""
import os
import shutil
import unittest

from harness import LinuxLauncherTestCase, jar


class OptionFiles(LinuxLauncherTestCase):
    def write(self, path, text):
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "w") as f:
            f.write(text)

    def test_default_file_beside_the_executable_with_nested_includes(self):
        exe = self.package({"vmOptions": "-Dzt.record=r -Dzt.order=record"})
        self.write(exe + ".vmoptions",
                   "# options of the packaged application\n"
                   "-Dzt.default=yes\r\n"
                   "   -Dzt.spaced=two words   \n"
                   "\n"
                   "-include-options conf/extra.vmoptions\n"
                   "-Dzt.order=file\n")
        # An include inside an included file is resolved against that file's directory.
        self.write(os.path.join(self.box.app, "conf", "extra.vmoptions"), "-Dzt.extra=1\n-include-options more.vmoptions\n")
        self.write(os.path.join(self.box.app, "conf", "more.vmoptions"), "-Dzt.more=${HOME}\n")
        result = self.run_launcher(exe, env=self.java_env())
        self.assertRan(result)
        props = result.properties()
        self.assertEqual(props.get("zt.record"), "r")
        self.assertEqual(props.get("zt.default"), "yes")
        self.assertEqual(props.get("zt.spaced"), "two words")
        self.assertEqual(props.get("zt.extra"), "1")
        self.assertEqual(props.get("zt.more"), self.box.root, "variables in option files are expanded")
        self.assertEqual(props.get("zt.order"), "file", "the option file comes after the record's options")
        self.assertIn("adding vmoptions from <%s/conf/more.vmoptions>" % self.box.app, result.log)

    def test_include_cycle_ends(self):
        exe = self.package()
        self.write(exe + ".vmoptions", "-include-options a.vmoptions\n")
        self.write(os.path.join(self.box.app, "a.vmoptions"), "-Dzt.a=1\n-include-options app.vmoptions\n")
        result = self.run_launcher(exe, env=self.java_env())
        self.assertRan(result)
        self.assertEqual(result.properties().get("zt.a"), "1")


class ListSeparator(LinuxLauncherTestCase):
    def test_path_list_separator_variable_is_the_runtime_list_separator(self):
        # Option files write path lists with it, and the runtime here splits them at ":".
        exe = self.package()
        with open(exe + ".vmoptions", "w") as f:
            f.write("-Dzt.sep=${ZENDRA_PATHLIST_SEPARATOR}\n-Dzt.old=%QUILLON_PATHLIST_SEPARATOR%\n")
        result = self.run_launcher(exe, env=self.java_env())
        self.assertRan(result)
        self.assertEqual((result.properties().get("zt.sep"), result.properties().get("zt.old")), (":", ":"))


class ClassPathOptions(LinuxLauncherTestCase):
    def test_option_file_appends_to_the_class_path(self):
        exe = self.package()
        shutil.copyfile(jar("included"), os.path.join(self.box.app, "extra.jar"))
        with open(exe + ".vmoptions", "w") as f:
            f.write("-classpath/a ${ZENDRA_EXEDIR}extra.jar\n")
        result = self.run_launcher(exe, ["--call=zt.included.Greeter"], env=self.java_env())
        self.assertRan(result)
        self.assertEqual(result.lines("called zt.included.Greeter"), ["from " + os.path.join(self.box.app, "extra.jar")])
        self.assertTrue(result.properties()["java.class.path"].endswith("runtime.jar:" + os.path.join(self.box.app,
                                                                                                       "extra.jar")))

    def test_current_directory_is_not_on_the_class_path(self):
        # An empty last class path element would be read as the working directory: a class
        # planted there must not load.
        planted = self.box.make("cwd-classes")
        shutil.unpack_archive(jar("included"), planted, "zip")
        result = self.run_launcher(self.package(), ["--call=zt.included.Greeter"], env=self.java_env(),
                                   cwd=planted)
        self.assertEqual(result.code, 1, result)
        self.assertNotIn("called zt.included.Greeter", result.stdout)


class JavaArguments(LinuxLauncherTestCase):
    def test_accepted_j_options_become_vm_options_and_leave_the_arguments(self):
        exe = self.package({"acceptJavaArguments": 1})
        result = self.run_launcher(exe, ["first", "-J-Dzt.cmd=from command line", "-J-Xmx64m", "last"],
                                   env=self.java_env())
        self.assertRan(result)
        self.assertEqual(result.properties().get("zt.cmd"), "from command line")
        self.assertEqual(result.args(), ["first", "last"])
        self.assertRegex(result.log, r"vmoption \d+: -Xmx64m\n")

    def test_without_acceptance_they_are_ordinary_arguments(self):
        exe = self.package({"acceptJavaArguments": 0})
        result = self.run_launcher(exe, ["-J-Dzt.cmd=x"], env=self.java_env())
        self.assertRan(result)
        self.assertNotIn("zt.cmd", result.properties())
        self.assertEqual(result.args(), ["-J-Dzt.cmd=x"])


if __name__ == "__main__":
    unittest.main()
