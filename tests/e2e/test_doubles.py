"""The Java runtime doubles themselves, run under Wine: what the launcher tests build on."""
import os
import shutil
import subprocess
import tempfile
import time
import unittest

import runtimes
from harness import WINE, to_windows, wine_env


class JavaDoubleTest(unittest.TestCase):
    def setUp(self):
        self.home = tempfile.mkdtemp(prefix="zendra-doubles-")
        self.addCleanup(shutil.rmtree, self.home, True)

    def run_java(self, *args, exe="java.exe", bin_dir="bin"):
        """Runs a double; returns exit code, raw standard error and seconds taken."""
        start = time.monotonic()
        proc = subprocess.run([WINE, os.path.join(self.home, bin_dir, exe), *args], capture_output=True,
                              env=wine_env(), stdin=subprocess.DEVNULL, timeout=60)
        return proc.returncode, proc.stderr, time.monotonic() - start

    def test_without_cfg_it_is_a_java_8_runtime(self):
        runtimes.make_runtime(self.home)
        os.remove(os.path.join(self.home, "bin", "java-double.cfg"))
        code, err, _ = self.run_java("-version")
        self.assertEqual((code, err), (0, b'java version "1.8.0_302"\r\n'))

    def test_version_lines_exit_code_and_recorded_command_lines(self):
        runtimes.make_runtime(self.home, version_line=['openjdk version "11.0.2"', "second"], exit_code=3)
        code, err, _ = self.run_java("-Xmx64m", "-version")
        self.assertEqual((code, err), (3, b'openjdk version "11.0.2"\r\nsecond\r\n'))
        # Other runs only exit with the code; javaw.exe shares the cfg and the record.
        code, err, _ = self.run_java("-cp", "a b.jar", "Main", exe="javaw.exe")
        self.assertEqual((code, err), (3, b""))
        exe = to_windows(os.path.join(self.home, "bin"))
        self.assertEqual(runtimes.runs(self.home), [
            '"%s\\java.exe" -Xmx64m -version' % exe,
            '"%s\\javaw.exe" -cp "a b.jar" Main' % exe,
        ])

    def test_delay_and_changed_cfg(self):
        runtimes.make_runtime(self.home)
        runtimes.write_cfg(self.home, version_line=None, exit_code=1, delay_ms=1500)
        code, err, seconds = self.run_java("-version")
        self.assertEqual((code, err), (1, b""))
        self.assertGreaterEqual(seconds, 1.4)

    def test_layouts(self):
        runtimes.make_runtime(self.home, vm_dirs=("server", "client"), jdk=True, javaw=False, dll="x86",
                              preferred="client")
        for part in ("bin/java.exe", "bin/server/jvm.dll", "bin/client/jvm.dll", "lib/tools.jar",
                     "jre/bin/java.exe", "jre/bin/server/jvm.dll"):
            self.assertTrue(os.path.isfile(os.path.join(self.home, part)), part)
        self.assertFalse(os.path.exists(os.path.join(self.home, "bin", "javaw.exe")))
        with open(os.path.join(self.home, "bin", "server", "jvm.dll"), "rb") as dll:
            self.assertIn(b"PE\0\0L\x01", dll.read(4096))  # the x86 machine type
        with open(os.path.join(self.home, "lib", "jvm.cfg"), "rb") as cfg:
            self.assertEqual(cfg.read(), b"-client KNOWN\r\n-server KNOWN\r\n")
        code, err, _ = self.run_java("-version", bin_dir="jre/bin")
        self.assertEqual((code, err), (0, b'openjdk version "17.0.15" 2025-04-15\r\n'))
        empty = tempfile.mkdtemp(dir=self.home)
        runtimes.make_runtime(empty, dll=None)
        self.assertEqual(os.listdir(os.path.join(empty, "bin", "server")), [])
        self.assertEqual(runtimes.runs(empty), [])


if __name__ == "__main__":
    unittest.main()
