"""Finding and loading a Java runtime with the real x64 launcher, among fake runtime trees.

Each test builds runtimes from the test doubles, packages an app-launcher whose errors go to
standard error, runs it with a diagnostic log and checks which candidate won, why the others
lost and which jvm.dll was loaded (the double records its loading)."""
import os
import re
import shutil
import unittest

import runtimes
from harness import LauncherTestCase, reg, reg_delete, to_windows

TEXTS = {
    "launcherType": 2,
    "errorNoJvm": "no {0}-bit runtime",
    "errorVmStart": "vm start failed",
    "errorJvmSource64": "source {0}",
    "errorJvmPath64": "path {0}",
}
CACHE_KEY = "HKCU\\SOFTWARE\\orvane-labs\\zendra\\jvms"
JAVASOFT_JDK = "HKLM\\SOFTWARE\\JavaSoft\\Java Development Kit"
JAVASOFT_JDK9 = "HKLM\\SOFTWARE\\JavaSoft\\JDK"
INSTALLATIONS = "HKCU\\SOFTWARE\\orvane-labs\\quillon\\installations"


def shown_texts(result):
    """The error texts a run showed on standard error, without their "Log: ..." lines."""
    parts = re.split(r"\n\nLog: [^\n]*\n", result.stderr)
    return [p for p in parts if p]


class SearchTestCase(LauncherTestCase):
    def setUp(self):
        super().setUp()
        reg_delete(CACHE_KEY)
        self.jvm_log = self.path("jvm-double.log")

    def runtime(self, name, **kwargs):
        return runtimes.make_runtime(self.path(name), **kwargs)

    def launch(self, strings, env=None, win_env=None, name="launcher.exe"):
        """Packages and runs a launcher; returns (result, log text)."""
        exe = self.package("app", {"strings": dict(TEXTS, **strings)}, name=name)
        extra = {"ZENDRA_LOG": "yes", "ZENDRA_JVM_DOUBLE_LOG": to_windows(self.jvm_log)}
        extra.update(env or {})
        if os.path.exists(self.jvm_log):
            os.remove(self.jvm_log)
        result = self.run_exe(exe, env=extra, win_env=win_env)
        return result, self.read_log(result)

    def loaded(self):
        """Whether a jvm.dll double was loaded in the last run."""
        if not os.path.exists(self.jvm_log):
            return False
        with open(self.jvm_log) as f:
            return any(line.startswith("loaded ") for line in f)

    def assertLoadedFrom(self, result, log, dll):
        self.assertEqual(result.code, 1, result)
        self.assertTrue(result.stderr.startswith("vm start failed\n"), result)
        # Candidate paths are compared in lower case, as the launcher normalises them.
        self.assertIn("trying %s (exists 1)" % to_windows(dll).lower(), log.lower())
        self.assertIn("Loading of JVM-DLL successful", log)
        self.assertTrue(self.loaded())


class Sources(SearchTestCase):
    def test_directory_entry_runs_java_once_then_uses_the_version_cache(self):
        home = self.runtime("jre17")
        strings = {"searchSequence": "A" + to_windows(home), "minJavaVersion": "17"}
        result, log = self.launch(strings)
        self.assertIn("Testing location %s (type A)" % to_windows(home), log)
        self.assertIn("Java version: 17.0.15", log)
        self.assertLoadedFrom(result, log, os.path.join(home, "bin", "server", "jvm.dll"))
        self.assertEqual(len(runtimes.runs(home)), 1)
        self.assertTrue(runtimes.runs(home)[0].startswith('"'), "the path is quoted")
        self.assertIn("17.0.15", reg("query", CACHE_KEY, "/s"))

        result, log = self.launch(strings)
        self.assertIn("got version from registry 17.0.15", log)
        self.assertNotIn("got version from execution", log)
        self.assertEqual(len(runtimes.runs(home)), 1, "a warm cache starts no java.exe")
        self.assertTrue(self.loaded())

    def test_version_outside_the_range_is_refused(self):
        home = self.runtime("jre8", version_line='java version "1.8.0_302"')
        result, log = self.launch({"searchSequence": "A" + to_windows(home), "minJavaVersion": "11"})
        self.assertEqual(result.code, 83)
        self.assertTrue(result.stderr.startswith("no 64-bit runtime\n"), result)
        self.assertIn("Java version: 1.8.0_302", log)
        self.assertIn("ERROR: No JVM found", log)
        self.assertFalse(self.loaded())

    def test_relative_entry_failing_the_version_wins_in_the_relative_pass(self):
        home = self.runtime("jre8", version_line='java version "1.8.0_302"')
        result, log = self.launch({"searchSequence": "Ajre8", "minJavaVersion": "11"})
        self.assertIn("Testing relative location jre8", log)
        self.assertIn("exists", log)
        self.assertLoadedFrom(result, log, os.path.join(home, "bin", "server", "jvm.dll"))

    def test_environment_variable_entry_names_the_variable(self):
        home = self.runtime("jdk17")
        result, log = self.launch({"searchSequence": "EMY_JAVA;Y"}, env={"MY_JAVA": to_windows(home)})
        self.assertIn("Testing location MY_JAVA (type E)", log)
        self.assertLoadedFrom(result, log, os.path.join(home, "bin", "server", "jvm.dll"))

    def test_search_path_entry(self):
        home = self.runtime("jre17")
        path = to_windows(os.path.join(home, "bin")) + ";C:\\windows\\system32;C:\\windows"
        result, log = self.launch({"searchSequence": "S"}, win_env={"PATH": path})
        self.assertIn("(type S)", log)
        self.assertLoadedFrom(result, log, os.path.join(home, "bin", "server", "jvm.dll"))

    def test_registry_catalogue_entry(self):
        home = self.runtime("jdk17")
        self.addCleanup(reg_delete, JAVASOFT_JDK)
        reg("add", JAVASOFT_JDK, "/v", "CurrentVersion", "/d", "17", "/f")
        reg("add", JAVASOFT_JDK + "\\17", "/v", "JavaHome", "/d", to_windows(home), "/f")
        result, log = self.launch({"searchSequence": "Y", "minJavaVersion": "17"})
        self.assertIn("(type Y)", log)
        self.assertIn("found sun", log)
        self.assertLoadedFrom(result, log, os.path.join(home, "bin", "server", "jvm.dll"))

    def test_preferred_location_file_wins_over_the_sequence(self):
        preferred = self.runtime("preferred")
        other = self.runtime("other")
        os.makedirs(self.path(".quillon"))
        with open(self.path(".quillon", "pref_jre.cfg"), "w") as f:
            f.write(to_windows(preferred) + "\r\n")
        result, log = self.launch({"installationDirectory": ".", "searchSequence": "A" + to_windows(other)})
        self.assertIn("Has preferred location %s" % to_windows(preferred), log)
        self.assertIn("Using preferred location", log)
        self.assertLoadedFrom(result, log, os.path.join(preferred, "bin", "server", "jvm.dll"))

    def test_installer_location_file_after_the_sequence(self):
        installed = self.runtime("installed")
        os.makedirs(self.path(".quillon"))
        with open(self.path(".quillon", "inst_jre.cfg"), "w") as f:
            f.write(to_windows(installed) + "\n")
        result, log = self.launch({"installationDirectory": ".", "searchSequence": "Anowhere"})
        self.assertIn("Using installer location", log)
        self.assertLoadedFrom(result, log, os.path.join(installed, "bin", "server", "jvm.dll"))

    def test_previous_installation_per_user(self):
        home = self.runtime(os.path.join("old-install", "jre"))
        self.addCleanup(reg_delete, INSTALLATIONS)
        reg("add", INSTALLATIONS, "/v", "e2e-app", "/d", to_windows(self.path("old-install")), "/f")
        result, log = self.launch({"applicationId": "e2e-app"})
        self.assertIn("found JRE from previous installation (user)", log)
        self.assertLoadedFrom(result, log, os.path.join(home, "bin", "server", "jvm.dll"))

    def test_other_directory_letters(self):
        for letter in ("B", "R"):
            with self.subTest(letter=letter):
                home = self.runtime("jre-" + letter)
                result, log = self.launch({"searchSequence": "x%s;%s%s" % (to_windows(home), letter, to_windows(home))})
                self.assertIn("(type x)", log)
                self.assertIn("Testing location %s (type %s)" % (to_windows(home), letter), log)
                self.assertLoadedFrom(result, log, os.path.join(home, "bin", "server", "jvm.dll"))

    def test_previous_installation_per_machine(self):
        home = self.runtime(os.path.join("machine-install", "jre"))
        key = INSTALLATIONS.replace("HKCU", "HKLM")
        self.addCleanup(reg_delete, key)
        reg("add", key, "/v", "e2e-app", "/d", to_windows(self.path("machine-install")), "/f")
        result, log = self.launch({"applicationId": "e2e-app"})
        self.assertIn("found JRE from previous installation (machine)", log)
        self.assertLoadedFrom(result, log, os.path.join(home, "bin", "server", "jvm.dll"))

    def test_second_fixed_tail_variable(self):
        home = self.runtime("quillon-tail")
        result, log = self.launch({}, env={"QUILLON_JAVA_HOME": to_windows(home)})
        self.assertLoadedFrom(result, log, os.path.join(home, "bin", "server", "jvm.dll"))

    def test_fixed_tail_variable_with_forward_slashes(self):
        home = self.runtime("tail")
        result, log = self.launch({}, env={"ZENDRA_JAVA_HOME": to_windows(home).replace("\\", "/")})
        self.assertIn("Search sequence finished", log)
        self.assertLoadedFrom(result, log, os.path.join(home, "bin", "server", "jvm.dll"))


class TodaysRuntimes(SearchTestCase):
    def test_java_nine_and_later_catalogue(self):
        home = self.runtime("jdk21", version_line='java version "21.0.2" 2024-01-16 LTS')
        self.addCleanup(reg_delete, JAVASOFT_JDK9)
        reg("add", JAVASOFT_JDK9, "/v", "CurrentVersion", "/d", "21", "/f")
        reg("add", JAVASOFT_JDK9 + "\\21", "/v", "JavaHome", "/d", to_windows(home), "/f")
        result, log = self.launch({"searchSequence": "Y", "minJavaVersion": "9"})
        self.assertIn("found sun", log)
        self.assertLoadedFrom(result, log, os.path.join(home, "bin", "server", "jvm.dll"))

    def test_vendor_catalogues(self):
        # Each OpenJDK vendor's own layout alone: key, value naming the home, trailing separator.
        layouts = [
            ("HKLM\\SOFTWARE\\Eclipse Adoptium", "JDK\\17.0.15.6\\hotspot\\MSI", "Path", "\\"),
            ("HKLM\\SOFTWARE\\Microsoft\\JDK", "21.0.7.6\\hotspot\\MSI", "Path", "\\"),
            ("HKLM\\SOFTWARE\\Azul Systems", "Zulu\\zulu-11", "InstallationPath", ""),
        ]
        for root, sub, value, tail in layouts:
            with self.subTest(root=root):
                home = self.runtime("vendor jdk", version_line='openjdk version "11.0.27" 2025-04-15')
                self.addCleanup(reg_delete, root)
                reg("add", root + "\\" + sub, "/v", value, "/d", to_windows(home) + tail, "/f")
                result, log = self.launch({"searchSequence": "Y", "minJavaVersion": "11"})
                reg_delete(root)
                self.assertIn("found sun", log)
                self.assertLoadedFrom(result, log, os.path.join(home, "bin", "server", "jvm.dll"))

    def test_link_on_the_search_path_leads_to_its_runtime(self):
        home = self.runtime("jdk17")
        links = self.path("javapath")
        os.makedirs(links)
        os.symlink(os.path.join(home, "bin", "java.exe"), os.path.join(links, "java.exe"))
        path = to_windows(links) + ";C:\\windows\\system32;C:\\windows"
        result, log = self.launch({"searchSequence": "S"}, win_env={"PATH": path})
        self.assertLoadedFrom(result, log, os.path.join(home, "bin", "server", "jvm.dll"))

    def test_stub_on_the_search_path_lets_the_search_go_on(self):
        stub = self.runtime("stub", dll=None)
        home = self.runtime("jdk17")
        path = to_windows(os.path.join(stub, "bin")) + ";C:\\windows\\system32;C:\\windows"
        result, log = self.launch({"searchSequence": "S;EJAVA_HOME", "minJavaVersion": "17"},
                                  env={"JAVA_TOOL_OPTIONS": "-Xmx64m", "JAVA_HOME": to_windows(home)},
                                  win_env={"PATH": path})
        self.assertIn("searching on", log)
        self.assertLoadedFrom(result, log, os.path.join(home, "bin", "server", "jvm.dll"))

    def test_notes_before_the_version_line(self):
        home = self.runtime("noted", version_line=["Picked up JAVA_TOOL_OPTIONS: -Xmx64m",
                                                   'openjdk version "17.0.15" 2025-04-15'])
        result, log = self.launch({"searchSequence": "A" + to_windows(home), "minJavaVersion": "9"})
        self.assertIn("Java version: 17.0.15", log)
        self.assertLoadedFrom(result, log, os.path.join(home, "bin", "server", "jvm.dll"))


class Checks(SearchTestCase):
    def test_early_access_build_needs_a_directory_entry_or_the_beta_flag(self):
        home = self.runtime("ea", version_line='openjdk version "18-ea" 2022-03-22')
        result, log = self.launch({"searchSequence": "EEA_JAVA"}, env={"EA_JAVA": to_windows(home)})
        self.assertIn("beta vm not allowed", log)
        self.assertEqual(result.code, 83)
        result, log = self.launch({"searchSequence": "EEA_JAVA", "allowBetaJava": 1}, env={"EA_JAVA": to_windows(home)})
        self.assertTrue(self.loaded())

    def test_failing_java_is_cached_with_the_marker_and_run_again(self):
        home = self.runtime("broken", exit_code=3)
        strings = {"searchSequence": "A" + to_windows(home)}
        result, log = self.launch(strings)
        self.assertIn("Exit Code 3", log)
        self.assertEqual(result.code, 83)
        self.assertIn("1.0.0", reg("query", CACHE_KEY, "/s"))
        self.launch(strings)
        self.assertEqual(len(runtimes.runs(home)), 2, "the 1.0.0 marker forces a new run")

    def test_gui_launcher_needs_javaw(self):
        home = self.runtime("nojavaw", javaw=False)
        result, log = self.launch_gui(home)
        self.assertIn("checkJavaExe returning 0", log)
        self.assertEqual(result.code, 83)

    def launch_gui(self, home):
        # A GUI launcher shows its texts in boxes; the quiet marker sends them to standard error.
        exe = self.package("app", {"strings": dict(TEXTS, launcherType=1, searchSequence="A" + to_windows(home))})
        result = self.run_exe(exe, ["-q_qln_internal"], env={"ZENDRA_LOG": "yes"})
        return result, self.read_log(result)


class Loading(SearchTestCase):
    def test_preferred_vm_directory_comes_first(self):
        home = self.runtime("two", vm_dirs=("server", "client"))
        result, log = self.launch({"searchSequence": "A" + to_windows(home), "preferredVmType": "client"})
        self.assertLoadedFrom(result, log, os.path.join(home, "bin", "client", "jvm.dll"))
        self.assertNotIn("server\\jvm.dll", log)

    def test_development_kit_without_vm_in_bin_loads_from_its_jre(self):
        home = self.runtime("jdk8", version_line='java version "1.8.0_302"', vm_dirs=(), jdk=True)
        os.makedirs(os.path.join(home, "jre", "bin", "server"), exist_ok=True)
        shutil.copyfile(runtimes.double("x64"), os.path.join(home, "jre", "bin", "server", "jvm.dll"))
        result, log = self.launch({"searchSequence": "A" + to_windows(home)})
        self.assertTrue(self.loaded(), log)
        self.assertIn("Loading of JVM-DLL successful", log)

    def test_x64_launcher_refuses_a_32_bit_library_with_the_kind_table(self):
        home = self.runtime("x86", dll="x86")
        path = to_windows(os.path.join(home, "bin")) + ";C:\\windows\\system32"
        result, log = self.launch({"searchSequence": "S"}, win_env={"PATH": path})
        self.assertIn("Failed with error code 193", log)
        self.assertIn("ERROR: Could not get DLL-Handle.", log)
        self.assertEqual(result.code, 83)
        # Search-path kind: 1016 (word size), 1018 and 1020 (the entry's empty text), 1005.
        self.assertEqual(shown_texts(result), ["no 64-bit runtime", "source ", "path ", "vm start failed"])
        self.assertFalse(self.loaded())

    def test_library_without_the_entry_point(self):
        home = self.runtime("noexport", dll="noexport")
        result, log = self.launch({"searchSequence": "ENOEXPORT_JAVA"}, env={"NOEXPORT_JAVA": to_windows(home)})
        self.assertIn("ERROR: Could not load functions", log)
        self.assertEqual(result.code, 83)
        self.assertEqual(shown_texts(result), ["source NOEXPORT_JAVA", "path NOEXPORT_JAVA", "vm start failed"])

    def test_directory_kind_shows_the_path_text(self):
        home = self.runtime("nodll", dll=None)
        result, log = self.launch({"searchSequence": "A" + to_windows(home)})
        self.assertIn("trying %s (exists 0)" % to_windows(os.path.join(home, "bin", "server", "jvm.dll")).lower(),
                      log.lower())
        self.assertEqual(shown_texts(result), ["path " + to_windows(home), "vm start failed"])


if __name__ == "__main__":
    unittest.main()
