#!/usr/bin/env python3
"""The size report's verdicts on made-up images: sizes around the budget and the limit,
images that are not what scripts/dist.sh ships, and a build tree with a launcher missing."""

import contextlib
import io
import os
import struct
import sys
import tempfile
import unittest
from unittest import mock

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "bench"))
import size_report  # noqa: E402

KIB = 1024


def image(size_kib, arch="x64", symbols=0, trailing=0, magic=b"MZ"):
    """A PE image of size_kib KiB (one section filling it) with the given damage."""
    header = bytearray(0x200)
    header[:2] = magic
    struct.pack_into("<I", header, 0x3C, 0x40)
    header[0x40:0x44] = b"PE\0\0"
    struct.pack_into("<HHIIIHH", header, 0x44, size_report.MACHINES[arch], 1, 0, symbols, 0, 0xF0, 0)
    raw_size = int(size_kib * KIB) - len(header) - trailing
    struct.pack_into("<IIII", header, 0x58 + 0xF0 + 8, raw_size, 0x1000, raw_size, len(header))
    return bytes(header) + bytes(raw_size + trailing)


class Verdicts(unittest.TestCase):
    def test_table(self):
        app_limit = size_report.limit_kib("app-launcher", "x64")
        cases = [
            # (launcher, arch, image, passes, words in the status)
            ("setup-launcher", "x86", image(150, "x86"), True, "within budget"),
            ("app-launcher", "x64", image(160), True, "within budget"),
            ("setup-launcher", "x64", image(200.5), True, "over budget"),
            ("setup-launcher", "x64", image(205.5), False, "past the limit"),
            ("app-launcher", "x64", image(app_limit + 0.5), False, "past the limit"),
            ("service-launcher", "x64", image(100, symbols=0x400), False, "symbol table"),
            ("service-launcher", "x64", image(100, trailing=16), False, "behind the last section"),
            ("service-launcher", "x86", image(100, "x64"), False, "machine"),
            ("setup-launcher", "x64", image(100, magic=b"ZM"), False, "no MZ header"),
        ]
        # An interim limit above the budget: past the budget but under the limit passes.
        interim = {("setup-launcher", "x64"): 205}
        for name, arch, data, passes, words in cases:
            with self.subTest(name=name, arch=arch, words=words), mock.patch.dict(size_report.INTERIM_LIMITS, interim):
                line, ok = size_report.verdict(name, arch, data)
                self.assertEqual(ok, passes, line)
                self.assertIn(words, line)


class Trees(unittest.TestCase):
    def run_report(self, files):
        with tempfile.TemporaryDirectory() as tree:
            for relative, data in files.items():
                os.makedirs(os.path.join(tree, os.path.dirname(relative)), exist_ok=True)
                with open(os.path.join(tree, relative), "wb") as f:
                    f.write(data)
            with contextlib.redirect_stdout(io.StringIO()) as out:
                status = size_report.main(["--x64", tree])
        return status, out.getvalue()

    def test_complete_tree_passes_and_missing_launcher_fails(self):
        complete = {"src/app/app-launcher.exe": image(120), "src/service/service-launcher.exe": image(130),
                    "src/setup/setup-launcher.exe": image(190)}
        status, out = self.run_report(complete)
        self.assertEqual(status, 0, out)
        self.assertEqual(out.count("within budget"), 3, out)
        del complete["src/service/service-launcher.exe"]
        status, out = self.run_report(complete)
        self.assertEqual(status, 1, out)
        self.assertIn("missing", out)


if __name__ == "__main__":
    unittest.main()
