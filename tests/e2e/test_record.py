"""The packaged record read by the real launchers: missing, damaged and well-formed records."""
import os
import unittest

from harness import LauncherTestCase

NO_JVM = "No {0}-bit Java runtime found."


def texts(**strings):
    base = {"errorNoJvm": NO_JVM, "errorCaption": "E2E Caption"}
    base.update(strings)
    return {"strings": base}


class MissingRecord(LauncherTestCase):
    def test_nothing_appended_fails_reading_the_first_integer(self):
        result = self.run_exe(self.bare("app"), ["-q_qln_internal"])
        self.assertEqual(result.code, 1)
        self.assertEqual(result.stderr, "Internal Error: readInt\n")

    def test_other_bytes_behind_the_image_fail_the_magic_test(self):
        result = self.run_exe(self.bare("app", trailing=b"\x01" * 64), ["-q_qln_internal"])
        self.assertEqual(result.code, 1)
        self.assertEqual(result.stderr, "Internal Error: magic\n")

    def test_truncated_record_names_the_primitive(self):
        exe = self.package("app", texts(applicationName="x" * 100))
        with open(exe, "r+b") as f:
            f.seek(-50, 2)
            f.truncate()
        result = self.run_exe(exe, ["-q_qln_internal"])
        self.assertEqual(result.code, 1)
        self.assertEqual(result.stderr, "Internal Error: readString\n")

    def test_gui_launcher_shows_the_failure_in_a_box_with_empty_caption(self):
        result = self.run_with_boxes(self.bare("setup", name="setupbare.exe"))
        self.assertEqual(result.code, 1)
        self.assertEqual(len(result.boxes), 1, result)
        self.assertEqual(result.boxes[0].caption, "")
        # The installer launcher always keeps a log, and an error shows its path.
        self.assertRegex(result.boxes[0].text, r"^Internal Error: readInt\n\nLog: .*qln_nlog_\d+$")


class WellFormedRecord(LauncherTestCase):
    def test_zero_counts_send_errors_to_standard_error(self):
        for kind in ("app", "service", "setup"):
            with self.subTest(kind=kind):
                # The service launcher looks for a runtime in its worker role, which ends with 1; the
                # installer runs quietly (with a window it would ask the user for a runtime).
                args = {"service": ["Svc", "__qln_restart"], "setup": ["-q"]}.get(kind, [])
                result = self.run_exe(self.package(kind, {"strings": {}}, name=kind + "-empty.exe"), args)
                if kind == "setup":
                    self.assertEqual((result.code, result.stdout, result.stderr), (83, "No JRE found. Aborting.\n", ""))
                else:
                    self.assertEqual(result.code, 1 if kind == "service" else 83)
                    self.assertEqual(result.stderr, "\n")

    def test_configured_text_with_word_size_detail(self):
        result = self.run_exe(self.package("service", texts(launcherType=2)), ["Svc", "__qln_restart"])
        self.assertEqual(result.code, 1)
        self.assertEqual(result.stderr, "No 64-bit Java runtime found.\n")

    def test_gui_types_show_configured_text_and_caption_in_a_box(self):
        for launcher_type in (1, 5):
            with self.subTest(type=launcher_type):
                exe = self.package("app", texts(launcherType=launcher_type), name="gui%d.exe" % launcher_type)
                result = self.run_with_boxes(exe)
                self.assertEqual(result.code, 83)
                self.assertEqual(len(result.boxes), 1, result)
                self.assertEqual(result.boxes[0].caption, "E2E Caption")
                self.assertEqual(result.boxes[0].text, "No 64-bit Java runtime found.")

    def test_quiet_marker_overrides_a_gui_type(self):
        result = self.run_exe(self.package("app", texts(launcherType=1)), ["-q_qln_internal"])
        self.assertEqual(result.code, 83)
        self.assertEqual(result.stderr, "No 64-bit Java runtime found.\n")

    def test_executable_under_a_non_ascii_path_with_spaces_reads_its_record(self):
        exe = self.package("app", texts(), subdir="dir with sp\u00e4ce \u4e2d\u6587")
        result = self.run_exe(exe, ["-q_qln_internal"])
        self.assertEqual(result.code, 83)
        self.assertEqual(result.stderr, "No 64-bit Java runtime found.\n")

    def test_working_directory_is_made_current(self):
        exe = self.package("app", texts(workingDirectory="..\\wd"), subdir="bin")
        os.makedirs(self.path("wd"))
        result = self.run_exe(exe, ["-q_qln_internal"], env={"ZENDRA_LOG": "yes"})
        self.assertEqual(result.code, 83)
        log = self.read_log(result)
        self.assertIn("change working directory to " + self.windows_path("wd"), log)


if __name__ == "__main__":
    unittest.main()
