"""The service launcher under Wine's service control manager: the command words with their
output and exit codes, the registration they leave, and the service started by the manager
with its worker child, which runs the jvm.dll double as a Java service.

Service processes get the environment of the manager, not the test's: the double's scenario
and record therefore come from the jvm-double.scenario file beside it ("record=PATH"), and
their diagnostic logs, which the Wine fixture requests for them, lie in its temporary directory.
"""
import glob
import os
import subprocess
import time
import unittest

import runtimes
from harness import WINE, LauncherTestCase, reg, reg_delete, to_windows, wine_env, wine_prefix

NAME = "Zendra E2E Svc"
SERVICES_KEY = "HKLM\\System\\CurrentControlSet\\Services\\"
PRIORITY_KEY = "HKLM\\SOFTWARE\\orvane-labs\\zendra\\priority"


class ServiceTestCase(LauncherTestCase):

    def setUp(self):
        super().setUp()
        self.jre = runtimes.make_runtime(self.path("jre"))
        self.record = self.path("record.txt")
        self.names = set()  # the services a test may leave registered
        self.addCleanup(self.remove_services)
        self.logs_before = set(self.service_logs())

    def launcher(self, subdir="Program Files", **strings):
        """A service launcher at a path with a blank, with the stand-in runtime."""
        values = {"applicationName": NAME, "launcherType": 2, "searchSequence": "A" + to_windows(self.jre),
                  "errorNoJvm": "no runtime", "serviceDependencies": "Tcpip,,Winmgmt"}
        values.update(strings)
        return self.package("service", {"strings": values, "messages": {"msgServiceDescription": "E2E service"}},
                            name="svc.exe", subdir=subdir)

    def scenario(self, words):
        with open(os.path.join(self.jre, "bin", "server", "jvm-double.scenario"), "w") as f:
            f.write("record=%s %s\n" % (to_windows(self.record), words))

    def command(self, exe, *args):
        """(exit code, standard output) of a command word."""
        result = self.run_exe(exe, list(args))
        return result.code, result.stdout

    def state(self, name=NAME):
        out = subprocess.run([WINE, "sc", "query", name], capture_output=True, env=wine_env(),
                             stdin=subprocess.DEVNULL, timeout=60).stdout.decode("latin-1")
        return next((line.split()[3] for line in out.splitlines() if "STATE" in line), None)

    def wait_state(self, wanted, timeout=20.0):
        deadline = time.monotonic() + timeout
        while self.state() != wanted and time.monotonic() < deadline:
            time.sleep(0.2)
        return self.state()

    def status_once_started(self, exe):
        """The status command's result once the service has left the start-pending state."""
        for _ in range(20):
            result = self.command(exe, "/status")
            if result != (3, "Not running.\n"):
                return result
            time.sleep(0.2)
        return result

    def worker_alive(self):
        # A process that Wine runs shows its Windows command line, which names the test directory.
        out = subprocess.run(["pgrep", "-af", "svc.exe"], capture_output=True, text=True).stdout
        return [line for line in out.splitlines() if os.path.basename(self.dir) in line and "defunct" not in line]

    def service_logs(self):
        """The logs in the temporary directories a service may have: the user's, or the drive root."""
        root = os.path.join(wine_prefix(), "drive_c")
        return glob.glob(os.path.join(root, "qln_nlog*")) + glob.glob(os.path.join(root, "users", "*", "Temp",
                                                                                   "qln_nlog*"))

    def new_log(self, marker):
        """The text of the service log written since the test began that holds marker."""
        for path in set(self.service_logs()) - self.logs_before:
            with open(path, encoding="latin-1") as f:
                text = f.read().replace("\r\n", "\n")
            if marker in text:
                os.remove(path)
                return text
        self.fail("no service log with %r" % marker)

    def recorded(self, event):
        if not os.path.exists(self.record):
            return []
        with open(self.record, "rb") as f:
            lines = f.read().decode("utf-8", "replace").split("\n")
        return [line[len(event) + 1:] for line in lines if line.split(" ", 1)[0] == event]

    def registration(self, name):
        values = {}
        for line in reg("query", SERVICES_KEY + name).splitlines():
            parts = line.strip().split(None, 2)
            if len(parts) == 3 and parts[1].startswith("REG_"):
                values[parts[0]] = parts[2]
        return values

    def remove_services(self):
        for name in self.names:
            for verb in ("stop", "delete"):
                subprocess.run([WINE, "sc", verb, name], capture_output=True, env=wine_env(),
                               stdin=subprocess.DEVNULL, timeout=60)


class CommandWordTest(ServiceTestCase):

    def test_each_word_prints_its_line_and_ends_with_its_code(self):
        exe = self.launcher()
        self.names.add(NAME)
        self.scenario("service")
        steps = [
            (["/status"], "Could not get status.\n", 1),
            (["/Install"], "", 0),  # no command: the service role, which the manager did not start
            (["-install"], "Installed service '%s'.\n" % NAME, 0),
            (["--install"], "Service is already stopped.\nInstalled service '%s'.\n" % NAME, 0),
            (["/stop"], "Service is already stopped.\n", 0),
            (["/start"], "Starting service '%s'.\n" % NAME, 0),
            (["/start"], "Service is already running.\n", 0),
            (["/status"], "Running.\n", 0),
            (["/install-auto"], "Stopping service '%s'.\nService stopped\nInstalled service '%s'.\n" % (NAME, NAME), 0),
            (["/status"], "Not running.\nAuto-start.\n", 3),
            (["/install-and-start"],
             "Service is already stopped.\nInstalled service '%s'.\nStarting service '%s'.\n" % (NAME, NAME), 0),
            (["/uninstall"], "Stopping service '%s'.\nService stopped\nUninstalled service '%s'.\n" % (NAME, NAME), 0),
            (["/uninstall"], "Could not delete service.\n", 1),
        ]
        for args, printed, code in steps:
            self.assertEqual(self.command(exe, *args), (code, printed), args)
            if args == ["-install"]:
                expected = {"DisplayName": NAME, "Start": "0x3", "Type": "0x110", "ErrorControl": "0x1",
                            "ImagePath": '"%s"' % to_windows(exe), "DependOnService": "Tcpip\\0Winmgmt",
                            "Description": "E2E service", "ObjectName": "LocalSystem"}
                values = self.registration(NAME)
                self.assertEqual({key: values.get(key) for key in expected}, expected)
            if args == ["/start"] and code == 0 and "Starting" in printed:
                self.assertEqual(self.wait_state("RUNNING"), "RUNNING")
            if args == ["/install-auto"]:
                self.assertEqual(self.registration(NAME)["Start"], "0x2")
        self.assertEqual(self.worker_alive(), [])

    def test_non_interactive_and_the_name_take_the_rest_of_the_line(self):
        exe = self.launcher(serviceDependencies="")
        cases = [(["/install", "non-interactive", "My", "Svc"], "My Svc", "0x10"),
                 (["/install", "My", "Svc", "non-interactive"], "My Svc non-interactive", "0x110")]
        for args, name, service_type in cases:
            self.names.add(name)
            self.assertEqual(self.run_exe(exe, args).stdout, "Installed service '%s'.\n" % name)
            values = self.registration(name)
            self.assertEqual((values["DisplayName"], values["Type"]), (name, service_type))
            self.assertNotIn("DependOnService", values)

    def test_a_command_prompt_shows_the_line(self):
        exe = self.launcher(subdir="bin")  # start.exe would take a quoted path for a window title
        code, shown = self.run_in_terminal(["cmd", "/c", "start", "/wait", to_windows(exe), "/status"])
        self.assertEqual((code, shown.strip()), (1, "Could not get status."))

    def test_started_by_hand_without_a_command_the_dispatcher_fails_and_the_exit_code_is_zero(self):
        exe = self.launcher()
        os.makedirs(self.path("tmp"))
        result = self.run_exe(exe, env={"ZENDRA_LOG": "yes"}, win_env={"TMP": self.windows_path("tmp")})
        self.assertEqual(result.code, 0)
        with open(self.path("tmp", self.logs_in(self.path("tmp"))[0]), encoding="latin-1") as f:
            log = f.read()
        self.assertRegex(log, r"calling StartServiceCtrlDispatcher\r?\n"
                              r"StartServiceCtrlDispatcher failed with error 1063\r?\n"
                              r"StartServiceCtrlDispatcher returned")


class ServiceRunTest(ServiceTestCase):

    def test_the_worker_runs_the_application_and_ends_on_the_shutdown_line(self):
        exe = self.launcher()
        self.scenario("service")
        self.names.add("My Svc")
        self.assertEqual(self.run_exe(exe, ["/install", "My Svc"]).code, 0)
        reg("add", PRIORITY_KEY, "/v", "My Svc", "/t", "REG_DWORD", "/d", "0x4000", "/f")
        self.addCleanup(reg_delete, PRIORITY_KEY)
        subprocess.run([WINE, "sc", "start", "My Svc", "-x", "a b"], capture_output=True, env=wine_env(),
                       stdin=subprocess.DEVNULL, timeout=60)
        deadline = time.monotonic() + 20
        while not self.recorded("CallStaticVoidMethod") and time.monotonic() < deadline:
            time.sleep(0.2)
        self.assertEqual(self.recorded("commandLine"), ['"%s" "My Svc" -x "a b" __qln_restart' % to_windows(exe)])
        self.assertIn("-Dzendra.isService=true", self.recorded("option"))
        self.assertEqual(self.recorded("arg")[5:], ["My Svc", "-x", "a b"])
        self.assertEqual(self.run_exe(exe, ["/stop", "My Svc"]).stdout,
                         "Stopping service 'My Svc'.\nService stopped\n")
        self.assertEqual(self.recorded("stdin"), ["0"])
        self.assertEqual(self.worker_alive(), [])
        log = self.new_log("service name is 'My Svc'")
        self.assertIn("using priority 16384\n", log)  # Wine starts every process at normal priority
        stop = ["control handler request 1", "sending shutdown 0", "shutdown sent",
                "process terminated with exit code 0", "service stopped set", "exiting"]
        lines = [line for line in log.splitlines() if line in stop]  # the dispatcher's end may come between
        self.assertEqual(lines, stop)

    def test_how_the_worker_ends_decides_the_reported_state(self):
        exe = self.launcher()
        self.names.add(NAME)
        self.command(exe, "/install")
        # Ends by itself with 0: stopped. With 2: the service process ends without a stopped
        # report, so the manager still shows the last report.
        for words, state in (("return", "STOPPED"), ("exit=2", "RUNNING")):
            self.scenario(words)
            self.assertEqual(self.command(exe, "/start")[0], 0, words)
            deadline = time.monotonic() + 20
            while self.worker_alive() or not self.recorded("CallStaticVoidMethod"):
                self.assertLess(time.monotonic(), deadline, words)
                time.sleep(0.2)
            self.assertEqual(self.wait_state(state, timeout=2), state, words)
            os.remove(self.record)
        # Without a runtime the worker ends through the fatal path with 1.
        worker = self.package("service", {"strings": {"applicationName": NAME, "launcherType": 2,
                                                      "searchSequence": "A" + self.windows_path("none")}},
                              name="worker.exe")
        self.assertEqual(self.run_exe(worker, [NAME, "__qln_restart"]).code, 1)

    def test_twenty_install_start_stop_cycles(self):
        exe = self.launcher()
        self.names.add(NAME)
        self.scenario("service")
        for cycle in range(20):
            self.assertEqual(self.command(exe, "/install"), (0, "Installed service '%s'.\n" % NAME), cycle)
            self.assertEqual(self.command(exe, "/start"), (0, "Starting service '%s'.\n" % NAME), cycle)
            self.assertEqual(self.status_once_started(exe), (0, "Running.\n"), cycle)
            started = time.monotonic()
            self.assertEqual(self.command(exe, "/stop"),
                             (0, "Stopping service '%s'.\nService stopped\n" % NAME), cycle)
            self.assertLess(time.monotonic() - started, 50, cycle)
            self.assertEqual(self.command(exe, "/uninstall"),
                             (0, "Service is already stopped.\nUninstalled service '%s'.\n" % NAME), cycle)
        self.assertEqual(self.worker_alive(), [])
        self.assertEqual(self.recorded("stdin"), ["0"] * 20)


if __name__ == "__main__":
    unittest.main()
