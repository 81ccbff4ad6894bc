"""Creating the Java VM and calling the launcher class, with the real x64 app-launcher under Wine.

Each test packages a launcher, runs it against a fake runtime whose jvm.dll is the JNI double
(tests/doubles/jvm_double.c) and compares what the double recorded (VM options as bytes, the
String[] given to main, the JNI calls) and how the process ended with what is expected.
"""
import os
import re
import shutil
import subprocess
import unittest

import runtimes
from harness import WINE, LauncherTestCase, to_unix, to_windows, wine_env

TEXTS = {
    "launcherType": 2,
    "errorVmStart": "vm start failed",
    "errorMainClass": "no main class",
    "errorMainMethod": "no main method",
    "errorClassPathEntry": "class path entry {0} missing",
    "errorInternal": "internal error {0}",
    "errorNoJvm": "no runtime",
}
LAUNCHER_CLASS = "com/zendra/runtime/WinLauncher"
QUILLON_CLASS = "com/quillon/runtime/launcher/WinLauncher"
FIRST_RUN_CLASS = "com/quillon/runtime/launcher/FirstRun"
MAIN = "main ([Ljava/lang/String;)V"
# Records "arg" and "option" lines by the thousand; the rest are calls worth comparing.
DATA_EVENTS = {"scenario", "version", "ignoreUnrecognized", "option", "optionExtraInfo", "arg", "argNull"}
# The stack trace the double prints for an exception thrown by main.
MAIN_TRACE = ('Exception in thread "main" java.lang.IllegalStateException: thrown by main\n'
              "\tat com.zendra.runtime.WinLauncher.main(Native Method)\n")


def unescape(payload):
    """A record payload's bytes: %XX stands for the byte XX."""
    return re.sub(rb"%([0-9A-F]{2})", lambda m: bytes([int(m.group(1), 16)]), payload)


class Record:
    """What the jvm.dll double recorded in one run: (event, payload bytes or None) pairs."""

    def __init__(self, path):
        self.entries = []
        if os.path.exists(path):
            with open(path, "rb") as f:
                for line in f.read().split(b"\n")[:-1]:
                    event, space, payload = line.partition(b" ")
                    self.entries.append((event.decode("ascii"), unescape(payload) if space else None))

    def values(self, event):
        return [payload for name, payload in self.entries if name == event]

    def options(self):
        """The VM option strings, as bytes, without the single-instance semaphore's name and
        without the hooks."""
        options = [text for text, hook in self.option_entries() if not hook]
        if options and options[0].startswith(b"-Dzendra.semaphoreName="):
            options = options[1:]
        return options

    def hooks(self):
        """The names of the options that carry a function (extraInfo), in order."""
        return [text for text, hook in self.option_entries() if hook]

    def option_entries(self):
        """Every option's text and whether it carries extraInfo."""
        found = []
        for name, payload in self.entries:
            if name == "option":
                found.append((payload, False))
            elif name == "optionExtraInfo" and found:
                found[-1] = (found[-1][0], True)
        return found

    def arguments(self):
        """The elements of main's String[] (None for a null element)."""
        return [None if name == "argNull" else payload.decode("utf-8", "surrogatepass")
                for name, payload in self.entries if name in ("arg", "argNull")]

    def calls(self):
        """The JNI calls and results, as "Event payload" texts."""
        return [name + ("" if payload is None else " " + payload.decode("utf-8", "replace"))
                for name, payload in self.entries if name not in DATA_EVENTS]


def main_calls(arguments, launcher_class=LAUNCHER_CLASS):
    """The calls of a launch whose main returns, from VM creation to DestroyJavaVM."""
    return ["JNI_CreateJavaVM 0", "FindClass " + launcher_class,
            "GetStaticMethodID %s %s" % (launcher_class, MAIN), "FindClass java/lang/String",
            "NewObjectArray %d java/lang/String null" % len(arguments),
            "CallStaticVoidMethod %s %s" % (launcher_class, MAIN), "ExceptionOccurred 0", "DestroyJavaVM"]


class LaunchTestCase(LauncherTestCase):
    wine_path = None

    @classmethod
    def setUpClass(cls):
        # The PATH Wine gives its programs, the tail of java.library.path.
        proc = subprocess.run([WINE, "cmd", "/c", "echo", "%PATH%"], capture_output=True, env=wine_env(),
                              stdin=subprocess.DEVNULL, timeout=60)
        cls.wine_path = proc.stdout.decode("latin-1").strip()

    def setUp(self):
        super().setUp()
        self.home = runtimes.make_runtime(self.path("jre"))
        self.record_path = self.path("jvm-record.txt")

    def package_app(self, strings=None, name="launcher.exe", subdir="", **description):
        """Packages an app-launcher that finds the fake runtime and reports on standard error."""
        values = dict(TEXTS, searchSequence="A" + to_windows(self.home))
        values.update(strings or {})
        return self.package("app", dict(description, strings=values), name=name, subdir=subdir)

    def launch(self, exe, args=(), scenario="return", env=None, unset=(), faults=()):
        """Runs a packaged launcher with the double's record and scenario (None: none in the
        environment); returns (result, Record). C.UTF-8 lets Wine pass non-ASCII arguments;
        MANPATH is set unless listed in unset. The double's fault lines (JNI misuse) must be
        exactly faults."""
        extra = {"ZENDRA_JVM_DOUBLE_RECORD": to_windows(self.record_path), "LC_ALL": "C.UTF-8", "LANGUAGE": "",
                 "MANPATH": "/usr/share/man"}
        if scenario is not None:
            extra["ZENDRA_JVM_DOUBLE_SCENARIO"] = scenario
        extra.update(env or {})
        if os.path.exists(self.record_path):
            os.remove(self.record_path)
        saved = {name: os.environ.pop(name) for name in unset if name in os.environ}
        extra = {k: v for k, v in extra.items() if k not in unset}
        try:
            result = self.run_exe(exe, args, env=extra)
        finally:
            os.environ.update(saved)
        record = Record(self.record_path)
        self.assertEqual(record.values("fault"), list(faults), "the launcher misused JNI")
        return result, record

    def system_properties(self, exe, temp_dir="", position=0, native="", quillon=False):
        """The launcher's own system properties of an app-launcher run with MANPATH set."""
        module = to_windows(exe).encode()
        # PATH gains the runtime's bin directory, in the lower case of the runtime search.
        library = native + self.wine_path + ";" + to_windows(os.path.join(self.home, "bin")).lower()
        return ([b"-Dzendra.isQuillon=true"] if quillon else []) + [
            b"-Dzendra.moduleName=" + module, b"-Dsun.java.command=" + module,
            b"-Dzendra.tempDir=" + temp_dir.encode(), b"-Dzendra.unextractedPosition=%d" % position,
            b"-Djava.library.path=" + library.encode()]

    def write(self, relative, data):
        """Writes bytes to a file below the scratch directory, creating its directory."""
        path = self.path(relative)
        os.makedirs(os.path.dirname(path), exist_ok=True)
        with open(path, "wb") as f:
            f.write(data)
        return path


class VmOptions(LaunchTestCase):
    def test_every_source_in_its_place(self):
        exe = self.package_app({"vmOptions": {"hex": b'-Xmx64m "-Dq=a b" -Dv=\xe4 -Xss1m'.hex()},
                                "acceptJavaArguments": 1, "classPath": "A1lib\\app.jar;D0classes",
                                "nativeLibraryPath": "native;..\\common"})
        self.write("lib/app.jar", b"")
        self.write("launcher.vmoptions", b"  -Xmx512m  \r\n\r\n# comment\r\n-Dx=a # b\r\n\t-Dtab\r\n-Dfile=\xe9\r\n"
                                         b"-classpath/a extra.jar\r\n")
        result, record = self.launch(exe, ["-J-Dj1=x", "app", "-J-Dnon=\u00e4", "-J-Xint"])
        self.assertEqual(result.code, 0, result)
        here = to_windows(self.dir) + "\\"
        self.assertEqual(record.values("version"), [b"65538"])
        self.assertEqual(record.values("ignoreUnrecognized"), [b"1"])
        self.assertEqual(record.options(), self.system_properties(exe, native=here + "native;" + here + "..\\common;") + [
            b"-Xmx64m", b"-Dq=a b", b"-Dv=\xe4", b"-Xss1m",
            b"-Dj1=x", b"-Dnon=\xe4", b"-Xint",
            b"-Xmx512m", b"-Dx=a # b", b"-Dtab", b"-Dfile=\xe9",
            ("-Djava.class.path=%slib\\app.jar;%sclasses;extra.jar" % (here, here)).encode()])
        self.assertEqual(record.hooks(), [b"vfprintf", b"abort"])
        self.assertEqual(record.arguments(), ["false", "", "", "", "false", to_windows(exe), "app"])
        self.assertEqual(record.calls(), main_calls(record.arguments()))

    def test_console_codepage_property_depends_on_manpath(self):
        exe = self.package_app()
        _, record = self.launch(exe, unset=("MANPATH",))
        # A GUI process without a console has code page 0.
        self.assertEqual(record.options(), self.system_properties(exe) + [b"-Dzendra.consoleCodepage=cp0",
                                                                          b"-Djava.class.path="])
        _, record = self.launch(exe, env={"MANPATH": ""})
        self.assertEqual(record.options(), self.system_properties(exe) + [b"-Djava.class.path="])

    def test_locale_options_follow_the_last_format_switch(self):
        exe = self.package_app({"vmOptions": "-Da=1"})
        self.write("launcher.vmoptions", b"-Dfile=1\n")
        german = {"LC_ALL": "de_AT.UTF-8"}
        switches = ["-Dsun.locale.formatasdefault=true", "x", "-Dsun.locale.formatasdefault=false"]
        result, record = self.launch(exe, switches, env=german)
        self.assertEqual(result.code, 0, result)
        self.assertEqual(record.options()[-6:], [b"-Da=1", b"-Dsun.locale.formatasdefault=false", b"-Duser.language=de",
                                                 b"-Duser.country=AT", b"-Dfile=1", b"-Djava.class.path="])
        self.assertEqual(record.arguments()[5:], [to_windows(exe), "x"])
        _, record = self.launch(exe, switches[1:] + switches[:1], env=german)
        self.assertEqual(record.options()[-4:], [b"-Da=1", b"-Dsun.locale.formatasdefault=true", b"-Dfile=1",
                                                 b"-Djava.class.path="])

    def test_included_options_take_the_place_of_the_include(self):
        exe = self.package_app({"vmOptions": "-Da -include-options ${launcher:sys.launcherDirectory}more.vmoptions -Dz"})
        self.write("more.vmoptions", b"-Dmore\n-include-options sub\\nested.vmoptions\n")
        self.write("sub/nested.vmoptions", b"-Dnested\n")
        _, record = self.launch(exe)
        self.assertEqual(record.options()[-5:], [b"-Da", b"-Dmore", b"-Dnested", b"-Dz", b"-Djava.class.path="])


    def test_unicode_option_file_with_endless_includes(self):
        exe = self.package_app()
        fifo = os.path.join(self.dir, "fifo")
        os.mkfifo(fifo)
        text = "\ufeff\t-Dname=J\u00fcrgen\r\n-include-options Z:\\dev\\zero\r\n-include-options %s\r\n" % to_windows(fifo)
        self.write("launcher.vmoptions", text.encode("utf-16-le"))
        result, record = self.launch(exe)
        self.assertEqual(result.code, 0, result)
        self.assertEqual(record.options()[-2:], [b"-Dname=J\xfcrgen", b"-Djava.class.path="])


class ClassPath(LaunchTestCase):
    def test_class_path_options_of_the_option_file(self):
        exe = self.package_app({"classPath": "A0replaced.jar", "acceptJavaArguments": 1})
        self.write("launcher.vmoptions", b"-classpath/p first.jar\n-classpath/p pre.jar\n-classpath mine.jar\n"
                                         b"-classpath/a post.jar\n")
        # Only the last option of each kind counts, whichever source it came from.
        result, record = self.launch(exe, ["-J-classpath/p early.jar", "-J-classpath/a early.jar"])
        self.assertEqual(result.code, 0, result)
        self.assertEqual(record.options(), self.system_properties(exe) + [b"-Djava.class.path=pre.jar;mine.jar;post.jar"])
        self.assertEqual(record.arguments()[5:], [to_windows(exe)])

    def test_included_archives_lead_the_class_path(self):
        exe = self.package_app({"classPath": "A0app.jar"},
                               files=[{"name": "app.jar", "text": "a"}, {"name": "b.zip", "text": "b"}])
        result, record = self.launch(exe)
        self.assertEqual(result.code, 0, result)
        temp = record.options()[2].decode().partition("=")[2]
        self.assertTrue(temp, record.options())
        self.addCleanup(shutil.rmtree, to_unix(temp), True)
        self.assertEqual(sorted(os.listdir(to_unix(temp))), ["app.jar", "b.zip"])
        here = to_windows(self.dir) + "\\"
        self.assertEqual(record.options(), self.system_properties(exe, temp, os.path.getsize(exe)) + [
            ("-Djava.class.path=%s\\app.jar;%s\\b.zip;%sapp.jar" % (temp, temp, here)).encode()])

    def test_required_entry_missing_ends_before_the_vm(self):
        exe = self.package_app({"classPath": "A0optional.jar;A1missing.jar"})
        result, record = self.launch(exe)
        self.assertEqual((result.code, result.stderr), (1, "class path entry missing.jar missing\n"))
        self.assertEqual(record.values("JNI_CreateJavaVM"), [])


class LaunchArguments(LaunchTestCase):
    def test_fixed_items_configured_arguments_and_command_line(self):
        exe = self.package_app({"launcherType": 1, "launchText": {"hex": "41e480"}, "launchPathAEnabled": 1,
                                "launchPathA": {"hex": b"data \x80\\file.txt".hex()}, "launchPathBEnabled": 1,
                                "launchPathB": "${ZENDRA_UNDEFINED_X}\\y", "launchFlag": 1,
                                "launchArguments": "one \"two words\" 'single quoted' ${ZENDRA_TEST_ARG}"},
                               subdir="my app")
        args = ["-q_qln_internal", "plain", "with space", "\u00e4\u00f6\u20ac\U0001F600", "", "tab\there",
                "line\nbreak", "100%", "-Jkept", "-Dsun.locale.formatasdefault=true"]
        result, record = self.launch(exe, args, env={"ZENDRA_TEST_ARG": "x y"})
        self.assertEqual(result.code, 0, result)
        directory = to_windows(self.path("my app"))
        self.assertEqual(record.arguments(), [
            "true", "A\u00e4\x80", directory + "\\data \u20ac\\file.txt", "${ZENDRA_UNDEFINED_X}\\y", "true",
            to_windows(exe), "one", "two words", "single quoted", "x", "y", *args[:-1]])
        self.assertEqual(record.options()[:2], [b"-Dzendra.moduleName=" + to_windows(exe).encode(),
                                                b"-Dsun.java.command=" + to_windows(exe).encode()])
        self.assertNotIn(b"kept", b"".join(record.options()))
        self.assertEqual(record.calls(), main_calls(record.arguments()))

    def test_executable_paths_outside_ascii(self):
        # Latin-1 letters have an ANSI form; other letters make the launcher use the short path.
        for subdir, ansi in (("\u00e4pp dir", True), ("\u65e5\u672c dir", False)):
            with self.subTest(subdir=subdir):
                exe = self.package_app(subdir=subdir)
                self.write(os.path.join(subdir, "launcher.vmoptions"), b"-Dfound=1\n")
                result, record = self.launch(exe, [subdir])
                self.assertEqual(result.code, 0, result)
                module = record.options()[0].partition(b"=")[2]
                if ansi:
                    self.assertEqual(module, to_windows(exe).encode("cp1252"))
                    self.assertEqual(record.options()[-2:], [b"-Dfound=1", b"-Djava.class.path="])
                else:
                    self.assertTrue(module.isascii() and b"~" in module and module.endswith(b"\\launcher.exe"), module)
                self.assertEqual(record.options()[1], b"-Dsun.java.command=" + module)
                self.assertEqual(record.arguments()[5:], [to_windows(exe), subdir])

    def test_disabled_paths_and_plain_defaults(self):
        exe = self.package_app({"launchPathA": "a.txt", "launchPathB": "b.txt", "acceptJavaArguments": 1})
        _, record = self.launch(exe, ["-Jgone", "-Dsun.locale.formatasdefault=false", "last"])
        self.assertEqual(record.arguments(), ["false", "", "", "", "false", to_windows(exe), "last"])


class Outcomes(LaunchTestCase):
    def setUp(self):
        super().setUp()
        self.exe = self.package_app()

    def test_main_returns(self):
        self.write(".quillon/firstrun", b"")  # only the quillon flavour has a first-run hook
        result, record = self.launch(self.exe, ["a"])
        self.assertEqual((result.code, result.stdout, result.stderr), (0, "", ""))
        self.assertEqual(record.calls(), main_calls(["x"] * 7))

    def test_system_exit_ends_the_process_with_its_status(self):
        for status in (3, 0):
            with self.subTest(status=status):
                result, record = self.launch(self.exe, scenario="exit=%d" % status)
                self.assertEqual((result.code, result.stderr), (status, ""))
                self.assertEqual(record.calls(), main_calls(["x"] * 6)[:-2] + ["exit %d" % status])
        # The same scenario given in a file beside the library.
        with open(os.path.join(self.home, "bin", "server", "jvm-double.scenario"), "w") as f:
            f.write("exit=5\n")
        result, record = self.launch(self.exe, scenario=None)
        self.assertEqual((result.code, record.calls()[-1]), (5, "exit 5"))

    def test_exception_from_main(self):
        result, record = self.launch(self.exe, scenario="throw")
        self.assertEqual((result.code, result.stderr), (1, MAIN_TRACE + "vm start failed\n"))
        self.assertEqual(record.calls(), main_calls(["x"] * 6)[:-2] + ["ExceptionOccurred 1", "ExceptionDescribe"])

    def test_missing_launcher_class_or_main(self):
        result, record = self.launch(self.exe, scenario="no-class")
        self.assertEqual((result.code, result.stderr), (1, "no main class\n"))
        self.assertEqual(record.calls(), ["JNI_CreateJavaVM 0", "FindClass " + LAUNCHER_CLASS])
        result, record = self.launch(self.exe, scenario="no-method")
        self.assertEqual((result.code, result.stderr), (1, "no main method\n"))
        self.assertEqual(record.calls(), main_calls([])[:3])

    def test_the_double_reports_what_it_cannot_do(self):
        # The fault check of every launch must be able to fail.
        result, _ = self.launch(self.exe, scenario="return bogus", faults=[b"unknown scenario word bogus"])
        self.assertEqual(result.code, 0, result)

    def test_vm_creation_fails(self):
        result, record = self.launch(self.exe, scenario="fail-create")
        self.assertEqual((result.code, result.stderr), (1, "vm start failed\n"))
        self.assertEqual(record.calls(), ["JNI_CreateJavaVM -1"])
        self.assertEqual(record.options()[-1], b"-Djava.class.path=")


class QuillonFlavour(LaunchTestCase):
    def setUp(self):
        super().setUp()
        self.exe = self.package_app({"productFlavour": "quillon", "installationDirectory": "."})
        self.runtime_jar = to_windows(self.dir) + "\\.quillon\\qlnruntime.jar"

    def test_launcher_class_property_and_runtime_library(self):
        self.write(".quillon/other", b"")
        result, record = self.launch(self.exe)
        self.assertEqual(result.code, 0, result)
        self.assertEqual(record.options(), self.system_properties(self.exe, quillon=True) + [
            b"-Djava.class.path=" + self.runtime_jar.encode()])
        self.assertEqual(record.calls(), main_calls(["x"] * 6, QUILLON_CLASS))

    def test_first_run_hook_decides_about_main(self):
        self.write(".quillon/firstrun", b"")
        hook = ["JNI_CreateJavaVM 0", "FindClass " + FIRST_RUN_CLASS,
                "GetStaticMethodID %s firstRun ()Z" % FIRST_RUN_CLASS,
                "CallStaticBooleanMethod %s firstRun ()Z" % FIRST_RUN_CLASS]
        result, record = self.launch(self.exe, scenario="firstrun=true")
        self.assertEqual(result.code, 0, result)
        self.assertEqual(record.calls(), hook + ["ExceptionOccurred 0"] + main_calls(["x"] * 6, QUILLON_CLASS)[1:])
        result, record = self.launch(self.exe, scenario="firstrun=false")
        self.assertEqual((result.code, result.stderr), (0, ""))
        self.assertEqual(record.calls(), hook + ["ExceptionOccurred 0", "DestroyJavaVM"])
        result, record = self.launch(self.exe, scenario="firstrun=throw")
        self.assertEqual(result.code, 0, result)
        self.assertIn("java.lang.RuntimeException: thrown by firstRun", result.stderr)
        self.assertEqual(record.calls(), hook + ["ExceptionOccurred 1", "ExceptionDescribe", "DestroyJavaVM"])
        result, record = self.launch(self.exe, scenario="no-class=" + FIRST_RUN_CLASS)
        self.assertEqual((result.code, result.stderr), (1, "internal error 14\n"))


if __name__ == "__main__":
    unittest.main()
