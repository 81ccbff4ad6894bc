#!/usr/bin/env python3
"""Proves that pe_check.py rejects damaged images: each case damages a copy of a built
GUI launcher in one way and expects that check, and only a failure, to report it.

usage: pe_check_test.py EXE 64|32 VERSION
"""

import contextlib
import io
import os
import shutil
import struct
import sys
import tempfile

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import pe_check  # noqa: E402


def utf16z(text):
    return text.encode("utf-16-le") + b"\0\0"


def patch(data, old, new):
    """data with the one occurrence of old replaced by new (same length)."""
    assert len(old) == len(new) and data.count(old) == 1, "pattern %r occurs %d times" % (old, data.count(old))
    return data.replace(old, new)


def damage_machine(data, word_size):
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    other = pe_check.MACHINES[64 if word_size == 32 else 32]
    return data[:pe + 4] + struct.pack("<H", other) + data[pe + 6:]


def damage_manifest_type(data, _):
    image = pe_check.PeImage(data)
    root = image.offset(image.directories[2][0])
    named, numbered = struct.unpack_from("<HH", data, root + 12)
    for i in range(named + numbered):
        at = root + 16 + 8 * i
        if struct.unpack_from("<I", data, at)[0] == pe_check.RT_MANIFEST:
            return data[:at] + struct.pack("<I", 23) + data[at + 4:]
    raise AssertionError("no manifest entry to damage")


CASES = [
    ("intact", lambda data, _: data, None),
    ("machine", damage_machine, "machine"),
    ("foreign DLL", lambda data, _: patch(data, b"ADVAPI32.dll", b"zlib0132.dll"), "non-system DLL zlib0132.dll"),
    ("manifest", damage_manifest_type, "no manifest resource"),
    ("dialog layout", lambda data, _: patch(data, struct.pack("<hhhh", 7, 7, 261, 12),
                                              struct.pack("<hhhh", 7, 7, 260, 12)), "dialog 101 controls"),
    ("dialog caption", lambda data, _: patch(data, utf16z("@MSG_ERROR_DIALOG_CAPTION@"),
                                               utf16z("@MSG_ERROR_DIALOG_CAPTIOX@")), "dialog 101 caption"),
    ("product name", lambda data, _: patch(data, utf16z("zendra"), utf16z("zendrb")), "version ProductName"),
    ("appended bytes", lambda data, _: data + b"\0" * 16, "16 bytes follow the last section"),
    ("decorated import", lambda data, _: patch(data, b"RegCloseKey\0", b"RegClose@ey\0"),
     "decorated names RegClose@ey"),
]

# Needs Wine's ADVAPI32 as the reference for exported names.
if pe_check.reference_library("ADVAPI32.dll", 64) is not None:
    CASES.append(("unknown import", lambda data, _: patch(data, b"RegCloseKey\0", b"RegCloseKez\0"),
                  "ADVAPI32.dll does not export RegCloseKez"))


def run_check(path, word_size, version, kind="gui"):
    output = io.StringIO()
    with contextlib.redirect_stdout(output):
        status = pe_check.main(["--machine", str(word_size), "--version", version, "--" + kind, path])
    return status, output.getvalue()


def main(argv):
    exe, word_size, version = argv[0], int(argv[1]), argv[2]
    with open(exe, "rb") as handle:
        original = handle.read()
    failures = []
    with tempfile.TemporaryDirectory() as scratch:
        copy = os.path.join(scratch, os.path.basename(exe))
        for name, damage, expected in CASES:
            with open(copy, "wb") as handle:
                handle.write(damage(original, word_size))
            status, output = run_check(copy, word_size, version)
            if expected is None and status != 0:
                failures.append("%s: rejected\n%s" % (name, output))
            elif expected is not None and (status != 1 or expected not in output):
                failures.append("%s: expected a failure naming %r, got status %d\n%s" % (name, expected, status, output))
        shutil.copyfile(exe, copy)
        status, output = run_check(copy, word_size, version, kind="console")
        if status != 1 or "subsystem 2, expected 3" not in output:
            failures.append("subsystem: a GUI image passed as console\n" + output)
    for failure in failures:
        print("FAIL " + failure)
    print("%d of %d cases failed" % (len(failures), len(CASES) + 1))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
