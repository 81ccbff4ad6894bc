"""The console switches of the GUI application launcher, started from a console under Wine.

A user's console is a pseudo terminal that is wine64's standard input, output and error.
Typed into a console window, a GUI program is started without the console's handles: here
"cmd /c start /wait" does that (start.exe hands the program to the shell, which passes no
standard handles, and waits for its exit code). Only with "-c" or "-console" does the
launcher then attach to the console, and only then does its error text reach the terminal
(property 154 honours "-q", "-c" and "-console", property 156 alone only "-console").
Run by cmd.exe directly, Wine gives even a GUI program cmd's own standard handles, so there
the text arrives with or without a switch; redirected handles stay as they are.
"""
import os
import unittest

import runtimes
from harness import LauncherTestCase, to_windows
from test_launch import Record

CONSOLE_TEXTS = {
    "applicationName": "Console Test", "errorCaption": "Console Test", "launcherType": 1,
    "quietSwitches": 1, "consoleSwitch": 1, "errorNoJvm": "no runtime {0}", "errorVmStart": "vm start failed",
}


class ConsoleSwitchTest(LauncherTestCase):

    def launcher(self, strings=None):
        values = dict(CONSOLE_TEXTS, searchSequence="A" + to_windows(self.path("nowhere")))
        values.update(strings or {})
        return self.package("app", {"strings": values})

    def from_console(self, exe, *args, env=None):
        """(exit code, terminal text) of the program typed into a console with args."""
        return self.run_in_terminal(["cmd", "/c", "start", "/wait", to_windows(exe), *args], env=env)

    def test_a_console_switch_brings_the_error_text_to_the_console(self):
        exe = self.launcher()
        for args in (["-c"], ["-console", "-q"], ["-q", "-console"]):
            code, shown = self.from_console(exe, *args)
            self.assertEqual(code, 83, args)
            self.assertEqual(shown.strip(), "no runtime 64", args)

    def test_without_a_console_switch_the_text_reaches_nothing(self):
        code, shown = self.from_console(self.launcher(), "-q")
        self.assertEqual((code, shown.strip()), (83, ""))

    def test_the_console_property_alone_honours_only_minus_console(self):
        # "-q_qln_internal" first: errors go to standard error whatever the switches do.
        exe = self.launcher({"quietSwitches": 0})
        code, shown = self.from_console(exe, "-q_qln_internal", "-c")
        self.assertEqual((code, shown.strip()), (83, ""))
        code, shown = self.from_console(exe, "-q_qln_internal", "-console")
        self.assertEqual((code, shown.strip()), (83, "no runtime 64"))
        # Neither property: "-console" is a plain argument too.
        code, shown = self.from_console(self.launcher({"consoleSwitch": 0, "quietSwitches": 0}), "-q_qln_internal",
                                        "-console")
        self.assertEqual((code, shown.strip()), (83, ""))

    def test_run_by_cmd_directly_the_text_arrives_either_way(self):
        exe = self.launcher()
        for args in (["-q"], ["-c"]):
            code, shown = self.run_in_terminal(["cmd", "/c", to_windows(exe), *args])
            self.assertEqual((code, shown.strip()), (83, "no runtime 64"), args)

    def test_redirected_standard_error_stays_redirected(self):
        exe = self.launcher()
        for result in (self.run_exe(exe, ["-c"]), self.run_exe("cmd", ["/c", to_windows(exe), "-c"])):
            self.assertEqual((result.code, result.stdout, result.stderr), (83, "", "no runtime 64\n"))

    def test_the_vm_learns_the_console_code_page(self):
        home = runtimes.make_runtime(self.path("jre"))
        exe = self.launcher({"searchSequence": "A" + to_windows(home)})
        record = self.path("jvm-record.txt")
        env = {"ZENDRA_JVM_DOUBLE_RECORD": to_windows(record), "ZENDRA_JVM_DOUBLE_SCENARIO": "return"}
        # The code page goes to the VM only while MANPATH is unset.
        manpath = os.environ.pop("MANPATH", None)
        if manpath is not None:
            self.addCleanup(os.environ.__setitem__, "MANPATH", manpath)
        pages = {}
        for switch in ("-console", "-q"):
            code, _ = self.from_console(exe, switch, env=env)
            self.assertEqual(code, 0, switch)
            options = [o for o in Record(record).values("option") if o.startswith(b"-Dzendra.consoleCodepage=")]
            pages[switch] = options
            os.remove(record)
        # Attached, the launcher passes on the console's code page; a GUI process alone has none.
        self.assertEqual(len(pages["-console"]), 1)
        self.assertNotEqual(pages["-console"], [b"-Dzendra.consoleCodepage=cp0"])
        self.assertEqual(pages["-q"], [b"-Dzendra.consoleCodepage=cp0"])


if __name__ == "__main__":
    unittest.main()
