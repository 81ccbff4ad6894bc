#!/usr/bin/env python3
"""Static checks of the test doubles, without running them.

  --exe SIZE:PATH       a console program of word size SIZE (32 or 64)
  --jvm SIZE:PATH       a jvm.dll double: a DLL exporting exactly JNI_CreateJavaVM, undecorated
  --noexport SIZE:PATH  a jvm.dll double that exports nothing
  --expect-failures N   succeed only when exactly N of the images fail (the checker's own test)
Every image must have the machine type of its word size and import only KERNEL32 and msvcrt.
"""

import argparse
import os
import struct
import sys

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "win"))
from pe_check import MACHINES, PeError, PeImage  # noqa: E402

IMAGE_FILE_DLL = 0x2000
ALLOWED_IMPORTS = {"kernel32.dll", "msvcrt.dll"}
EXPECTED_EXPORTS = {"exe": set(), "jvm": {"JNI_CreateJavaVM"}, "noexport": set()}


def characteristics(data):
    """The COFF header's characteristics flags."""
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    return struct.unpack_from("<H", data, pe + 22)[0]


def check(kind, size, path):
    """The problems found in one image."""
    with open(path, "rb") as handle:
        data = handle.read()
    image = PeImage(data)
    problems = []
    if image.machine != MACHINES[size]:
        problems.append("machine %#x, expected %#x" % (image.machine, MACHINES[size]))
    is_dll = bool(characteristics(data) & IMAGE_FILE_DLL)
    if is_dll != (kind != "exe"):
        problems.append("is %sa DLL" % ("" if is_dll else "not "))
    if kind == "exe" and image.subsystem != 3:
        problems.append("subsystem %d, expected 3 (console)" % image.subsystem)
    exports = image.exports()
    if exports != EXPECTED_EXPORTS[kind]:
        problems.append("exports %s, expected %s" % (sorted(exports), sorted(EXPECTED_EXPORTS[kind])))
    foreign = sorted(d for d in image.imports() if d.lower() not in ALLOWED_IMPORTS)
    if foreign:
        problems.append("imports %s" % ", ".join(foreign))
    return problems


def image_argument(text):
    size, _, path = text.partition(":")
    if size not in ("32", "64") or not path:
        raise argparse.ArgumentTypeError("expected 32:PATH or 64:PATH, got %r" % text)
    return int(size), path


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    for kind in EXPECTED_EXPORTS:
        parser.add_argument("--" + kind, type=image_argument, action="append", default=[])
    parser.add_argument("--expect-failures", type=int, default=0)
    args = parser.parse_args(argv)
    failures = 0
    for kind in EXPECTED_EXPORTS:
        for size, path in getattr(args, kind):
            try:
                problems = check(kind, size, path)
            except (OSError, PeError, struct.error, UnicodeDecodeError) as error:
                problems = ["unreadable: %s" % error]
            print("%s (%s, %d-bit): %s" % (path, kind, size, "; ".join(problems) or "ok"))
            failures += bool(problems)
    print("%d of the images failed, %d expected" % (failures, args.expect_failures))
    return 0 if failures == args.expect_failures else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
