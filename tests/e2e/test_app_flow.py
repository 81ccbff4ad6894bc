"""The application launcher's own steps around the VM, under Wine: included files and
single-instance mode with argument hand-over (the jvm.dll double plays the application)."""
import os
import subprocess
import threading
import time
import unittest

import instances
from harness import WINE, to_unix, to_windows, wine_env
from test_launch import LaunchTestCase, Record

WINE_TEMP = "C:\\users\\%s\\Temp" % os.environ.get("USER", "root")


def option(record, name):
    """The value of a -D option the double recorded, or None."""
    prefix = ("-D%s=" % name).encode()
    for value in record.values("option"):
        if value.startswith(prefix):
            return value[len(prefix):].decode("latin-1")
    return None


class IncludedFiles(LaunchTestCase):
    def test_files_are_extracted_byte_for_byte_and_passed_on(self):
        data = bytes(range(256)) + b"\x5a" * 8
        exe = self.package_app(files=[{"name": "data.bin", "hex": data.hex()}, {"name": "empty.txt", "text": ""},
                                      {"name": "lib\\native.dll", "text": "MZ native"}])
        result, record = self.launch(exe)
        self.assertEqual(result.code, 0, result)
        temp = option(record, "zendra.tempDir")
        self.assertTrue(temp, record.options())
        self.addCleanup(__import__("shutil").rmtree, to_unix(temp), True)
        with open(os.path.join(to_unix(temp), "data.bin"), "rb") as f:
            self.assertEqual(f.read(), data)
        self.assertFalse(os.path.exists(os.path.join(to_unix(temp), "empty.txt")), "an empty entry makes no file")
        with open(os.path.join(to_unix(temp), "lib", "native.dll"), "rb") as f:
            self.assertEqual(f.read(), b"MZ native")
        self.assertEqual(option(record, "zendra.unextractedPosition"), str(os.path.getsize(exe)))

    def test_a_fatal_end_removes_the_run_directory(self):
        exe = self.package_app(files=[{"name": "a.txt", "text": "a"}, {"name": "sub\\b.txt", "text": "b"}])
        result, record = self.launch(exe, scenario="fail-create")
        self.assertEqual(result.code, 1, result)
        temp = option(record, "zendra.tempDir")
        self.assertTrue(temp)
        self.assertFalse(os.path.exists(to_unix(temp)), "the per-run directory must be gone")

    def test_a_name_leaving_the_run_directory_is_refused(self):
        exe = self.package_app({"errorInternal": "internal {0}"}, files=[{"name": "ok.txt", "text": "x"}])
        # The packaging tool refuses such names itself, so the record is edited afterwards.
        with open(exe, "r+b") as f:
            content = f.read()
            at = content.rfind(b"ok.txt")
            f.seek(at)
            f.write(b"..\\a.t")
        result, _ = self.launch(exe)
        self.assertEqual((result.code, result.stderr), (1, "internal 11\n"))


class SingleInstance(LaunchTestCase):
    def start_first(self, exe, record_path, scenario="return sleep=30000"):
        env = wine_env({"ZENDRA_JVM_DOUBLE_RECORD": to_windows(record_path), "ZENDRA_JVM_DOUBLE_SCENARIO": scenario,
                        "MANPATH": "/usr/share/man", "LC_ALL": "C.UTF-8"})
        proc = subprocess.Popen([WINE, exe], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.DEVNULL)
        self.addCleanup(lambda: (proc.kill(), proc.wait()))
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline:
            if os.path.exists(record_path) and b"CallStaticVoidMethod" in open(record_path, "rb").read():
                return proc, Record(record_path)
            time.sleep(0.05)
        self.fail("the first instance did not reach main")

    def second(self, exe, args, record_path):
        env = wine_env({"ZENDRA_JVM_DOUBLE_RECORD": to_windows(record_path), "ZENDRA_JVM_DOUBLE_SCENARIO": "return",
                        "MANPATH": "/usr/share/man", "LC_ALL": "C.UTF-8"})
        return subprocess.Popen([WINE, exe, *args], env=env, stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                                stderr=subprocess.PIPE)

    def test_second_start_hands_its_arguments_over_and_ends(self):
        exe = self.package_app({"singleInstance": 1})
        first, record = self.start_first(exe, self.path("first.txt"))
        comm = option(record, "zendra.processCommFile")
        self.assertTrue(comm and comm.lower().endswith(".tmp"), record.options())
        self.assertEqual(option(record, "zendra.semaphoreName"), instances.semaphore_name(to_windows(exe)))
        second = self.second(exe, ["hello world", "\u00fc"], self.path("second.txt"))
        path = instances.wait_for_handover(os.path.dirname(to_unix(comm)),
                                           pid=instances.handover_pid(to_unix(comm)))
        self.assertIsNotNone(path, "no hand-over file appeared")
        text = instances.take_handover(path)
        self.assertTrue(text.endswith("\n"), repr(text))
        self.assertIn("hello world", text)
        self.assertIn("\u00fc", text)
        self.assertEqual(second.wait(timeout=30), 0)
        self.assertFalse(os.path.exists(self.path("second.txt")), "a second instance starts no VM")
        self.assertIsNone(first.poll(), "the running instance goes on")

    def test_without_single_instance_mode_both_run_with_numbered_semaphores(self):
        exe = self.package_app()
        first, record = self.start_first(exe, self.path("first.txt"))
        second = self.second(exe, [], self.path("second.txt"))
        self.assertEqual(second.wait(timeout=60), 0)
        names = [option(record, "zendra.semaphoreName"), option(Record(self.path("second.txt")), "zendra.semaphoreName")]
        base = instances.semaphore_name(to_windows(exe))
        self.assertEqual(names, [base + "0", base + "1"])

    def test_ten_second_starts_at_once_each_hand_over_exactly_once(self):
        exe = self.package_app({"singleInstance": 1})
        first, record = self.start_first(exe, self.path("first.txt"), scenario="return sleep=60000")
        comm = to_unix(option(record, "zendra.processCommFile"))
        seconds = [self.second(exe, ["n=%d" % i], self.path("s%d.txt" % i)) for i in range(10)]
        texts = []
        deadline = time.monotonic() + 90
        while any(p.poll() is None for p in seconds) and time.monotonic() < deadline:
            path = instances.wait_for_handover(os.path.dirname(comm), timeout=1, pid=instances.handover_pid(comm))
            if path:
                time.sleep(0.05)  # the writer closes the file right after writing it
                texts.append(instances.take_handover(path))
        self.assertEqual([p.poll() for p in seconds], [0] * 10, "every second start ends with 0 in time")
        handed = sorted(t.strip().split()[-1] for t in texts)
        self.assertEqual(handed, sorted("n=%d" % i for i in range(10)))


if __name__ == "__main__":
    unittest.main()
