"""Single-instance mode between two real launcher processes: the second hands its arguments to
the first through the hand-over file and ends without a VM of its own."""
import os
import unittest

from harness import LinuxLauncherTestCase


def handover_text(arguments):
    """The argument text the launcher hands over: the arguments as its command line joins them
    (quoted when they hold a blank or a quote character), and a line feed."""
    parts = []
    for argument in arguments:
        if argument and not any(c in argument for c in " \"'"):
            parts.append(argument)
        else:
            quote = "'" if '"' in argument else '"'
            parts.append(quote + argument + quote)
    return " ".join(parts) + "\n"


class SingleInstance(LinuxLauncherTestCase):
    def start_first(self, exe, args):
        first = self.start(exe, args, env=self.java_env())
        if not first.wait_for_line("started"):
            self.fail("the first instance did not reach main: %r" % first.finish())
        return first

    def test_second_instance_hands_its_arguments_over_and_ends(self):
        exe = self.package({"singleInstance": 1})
        first = self.start_first(exe, ["--await-handover=20"])
        self.assertTrue(first.wait_for_line("waiting for hand-over"), first.seen)
        comm_file = os.path.join(self.box.runtime, "zendra", "znd_p%d.tmp" % first.proc.pid)
        self.assertIn("property zendra.processCommFile=" + comm_file, first.seen)

        given = ["alpha", "two words", "ünïcödé", 'say "hi"', "--exit=9"]
        second = self.run_launcher(exe, given, env=self.java_env())
        self.assertEqual((second.code, second.stdout), (0, ""), second)
        self.assertIn("other pid %d" % first.proc.pid, second.log)
        self.assertNotIn("Creating JVM", second.log)
        self.assertNotIn("Searching for a JVM", second.log)

        ended = first.finish()
        self.assertEqual(ended.code, 0, ended)
        expected = handover_text(given).encode("utf-16-le")
        self.assertEqual(ended.lines("hand-over hex"), [expected.hex()], ended)
        self.assertFalse(os.path.exists(comm_file), "the first instance consumed the file")
        self.assertIn("single instance mode", ended.log)
        self.assertIn("Creating JVM", ended.log)
        self.assertNotIn("other pid", ended.log)

    def test_without_single_instance_mode_both_run(self):
        exe = self.package({"singleInstance": 0})
        first = self.start_first(exe, ["--sleep=30000"])
        second = self.run_launcher(exe, ["--exit=5"], env=self.java_env())
        self.assertRan(second, 5)
        self.assertIsNone(first.proc.poll(), "the first instance still runs")
        semaphores = [line for line in first.seen if line.startswith("property zendra.semaphoreName=")]
        self.assertEqual(len(semaphores), 1, first.seen)
        self.assertEqual(second.properties()["zendra.semaphoreName"], semaphores[0].split("=", 1)[1][:-1] + "1",
                         "each instance holds its own numbered semaphore")
        self.assertNotIn("zendra.processCommFile", second.properties())


if __name__ == "__main__":
    unittest.main()
