"""What the launcher leaves where other users of the machine could reach it: the hand-over file
and the per-run directory live in a directory of the user's own, so that another local user can
neither plant arguments nor read included files; and the Windows-only switches and the runtime's
splash library change nothing on Linux."""
import os
import stat
import subprocess
import unittest

from harness import LinuxLauncherTestCase, RUN_TIMEOUT
from test_single_instance import handover_text

OTHER_USER = ["setpriv", "--reuid=nobody", "--regid=nogroup", "--clear-groups"]


def as_other_user(command):
    """Runs a shell command as the user nobody; its exit code."""
    return subprocess.run(OTHER_USER + ["sh", "-c", command], stdin=subprocess.DEVNULL, capture_output=True,
                          timeout=RUN_TIMEOUT).returncode


class PrivateFiles(LinuxLauncherTestCase):
    def setUp(self):
        super().setUp()
        # Every other user may reach the sandbox, and write to its temporary directory as to /tmp.
        for path in (self.box.root, self.box.runtime):
            os.chmod(path, 0o755)
        os.chmod(self.box.tmp, 0o1777)

    def test_another_user_can_neither_plant_a_hand_over_nor_read_included_files(self):
        exe = self.package({"singleInstance": 1}, files=[{"name": "secret.txt", "text": "only mine"}])
        first = self.start(exe, ["--await-handover=20"], env=self.java_env())
        self.assertTrue(first.wait_for_line("waiting for hand-over"), first.seen)
        private = os.path.join(self.box.runtime, "zendra")
        comm_file = os.path.join(private, "znd_p%d.tmp" % first.proc.pid)
        self.assertIn("property zendra.processCommFile=" + comm_file, first.seen)
        run_dir = [line.split("=", 1)[1] for line in first.seen if line.startswith("property zendra.tempDir=")][0]
        self.assertEqual(os.path.dirname(run_dir), private)
        for path in (private, run_dir):
            self.assertEqual(stat.S_IMODE(os.lstat(path).st_mode), 0o700, path)

        self.assertNotEqual(as_other_user("printf 'e\\0v\\0i\\0l\\0\\n\\0' > '%s'" % comm_file), 0)
        self.assertNotEqual(as_other_user("cat '%s/secret.txt'" % run_dir), 0)
        self.assertEqual(os.listdir(self.box.tmp), [n for n in os.listdir(self.box.tmp) if n.startswith("qln_nlog")],
                         "nothing but the log in the shared temporary directory")

        second = self.run_launcher(exe, ["real"], env=self.java_env())
        self.assertEqual(second.code, 0, second)
        ended = first.finish()
        self.assertEqual(ended.lines("hand-over hex"), [handover_text(["real"]).encode("utf-16-le").hex()], ended)

    def test_console_switches_and_the_runtime_splash_library_change_nothing(self):
        exe = self.package({"quietSwitches": 1, "consoleSwitch": 1, "splashScreen": 1, "useJavaSplash": 1})
        result = self.run_launcher(exe, ["-console", "-c"], env=self.java_env())
        self.assertRan(result)
        self.assertEqual(result.args(), ["-console", "-c"])
        self.assertNotIn("console", result.stderr)
        self.assertNotIn("ERROR", result.log)
        self.assertNotIn("splashscreen", result.log)


if __name__ == "__main__":
    unittest.main()
