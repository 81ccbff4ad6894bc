"""The diagnostic log of the real launchers: requests, file names, header and the log prompt."""
import os
import re
import unittest

from harness import LauncherTestCase

DESCRIPTION = {"strings": {"errorNoJvm": "No runtime.", "productFlavour": "zendra"}}


class LogRequests(LauncherTestCase):
    def setUp(self):
        super().setUp()
        self.tmp = self.path("tmp")
        os.makedirs(self.tmp)
        self.exe = self.package("app", DESCRIPTION)
        self.tmp_env = {"TMP": self.windows_path("tmp")}

    def test_variable_yes_writes_a_log_in_tmp_with_header_and_empty_line(self):
        result = self.run_exe(self.exe, ["-q_qln_internal"], env={"ZENDRA_LOG": "yes"}, win_env=self.tmp_env)
        self.assertEqual(result.code, 83)
        self.assertEqual(self.logs_in(self.tmp), ["qln_nlog_1"])
        self.assertEqual(result.stderr, "No runtime.\n\nLog: %s\n" % self.windows_path("tmp", "qln_nlog_1"))
        raw = self.read_log(result, raw=True)
        lines = raw.split("\r\n")
        self.assertRegex(lines[0], r"^Started executable %s at \w{3} \w{3} [ \d]\d \d\d:\d\d:\d\d \d{4}$"
                         % re.escape(self.windows_path("launcher.exe")))
        self.assertEqual(lines[1], "")
        self.assertIn("number of sections: ", raw)
        self.assertIn("language/country is ", raw)
        self.assertNotIn("\n", raw.replace("\r\n", ""), "lines must end in CR LF")

    def test_quillon_variable_also_requests_a_log(self):
        result = self.run_exe(self.exe, ["-q_qln_internal"], env={"QUILLON_LOG": "yes"}, win_env=self.tmp_env)
        self.assertEqual(self.logs_in(self.tmp), ["qln_nlog_1"])
        self.assertIn("Log: ", result.stderr)

    def test_other_values_request_nothing(self):
        for value in ("YES", "yes ", "1"):
            with self.subTest(value=value):
                result = self.run_exe(self.exe, ["-q_qln_internal"], env={"ZENDRA_LOG": value}, win_env=self.tmp_env)
                self.assertEqual(result.stderr, "No runtime.\n")
        self.assertEqual(self.logs_in(self.tmp), [])

    def test_existing_logs_get_the_next_number(self):
        for _ in range(2):
            self.run_exe(self.exe, ["-q_qln_internal"], env={"ZENDRA_LOG": "yes"}, win_env=self.tmp_env)
        self.assertEqual(self.logs_in(self.tmp), ["qln_nlog_1", "qln_nlog_2"])

    def test_missing_tmp_directory_puts_the_log_on_drive_c(self):
        result = self.run_exe(self.exe, ["-q_qln_internal"], env={"ZENDRA_LOG": "yes"},
                              win_env={"TMP": self.windows_path("no-such-dir")})
        self.assertRegex(result.stderr, r"Log: [cC]:\\qln_nlog_\d+\n$", result)
        os.remove(self.log_path(result))

    def test_switch_as_first_argument_requests_the_log_and_prompts(self):
        result = self.run_with_boxes(self.exe, ["-create-qln-log", "-q_qln_internal"], win_env=self.tmp_env,
                                     keys=("n",))
        self.assertEqual(len(result.boxes), 1, result)
        box = result.boxes[0]
        self.assertEqual(box.caption, "zendra")
        log = self.windows_path("tmp", "qln_nlog_1")
        self.assertEqual(box.text, "The following log file will be created:\n\n%s\n\n"
                                   "Do you want to open an Explorer window?" % log)
        self.assertEqual(self.logs_in(self.tmp), ["qln_nlog_1"])
        self.assertNotIn("calling ", self.read_log_file("qln_nlog_1"))

    def test_switch_in_second_place_is_not_recognised(self):
        result = self.run_exe(self.exe, ["-q_qln_internal", "-create-qln-log"], win_env=self.tmp_env)
        self.assertEqual(result.stderr, "No runtime.\n")
        self.assertEqual(self.logs_in(self.tmp), [])

    def read_log_file(self, name):
        with open(os.path.join(self.tmp, name), "rb") as f:
            return f.read().decode("latin-1")


if __name__ == "__main__":
    unittest.main()
