#!/usr/bin/env python3
"""Size of each shipped launcher against its budget.

Reads the stripped executables of the x64 and x86 build trees (the files scripts/dist.sh
installs unchanged), prints one line per launcher and word size, and exits with 1 when a
launcher is past its limit, is not stripped, is of the wrong machine type or is missing.

usage: size_report.py [--x64 BUILD_DIR] [--x86 BUILD_DIR]
"""

import argparse
import os
import struct
import sys

KIB = 1024

# The goal for each stripped launcher, in KiB (setup-launcher links zlib).
BUDGETS = {"app-launcher": 160, "service-launcher": 160, "setup-launcher": 200}

# Limits for a launcher still above its budget, (name, arch) -> KiB: its size with a little room,
# lowered as it shrinks, never raised. Every launcher is within its budget now, so none is left;
# a launcher within its budget is held to the budget itself.
INTERIM_LIMITS: dict = {}

# Launcher, its folder in a build tree, and the word sizes it is built for.
LAUNCHERS = [
    ("app-launcher", "src/app", ("x64",)),
    ("service-launcher", "src/service", ("x64", "x86")),
    ("setup-launcher", "src/setup", ("x64", "x86")),
]

MACHINES = {"x64": 0x8664, "x86": 0x14C}


def image_fault(data, arch):
    """Why data is not a stripped PE image of arch, or None."""
    if len(data) < 0x40 or data[:2] != b"MZ":
        return "no MZ header"
    pe = struct.unpack_from("<I", data, 0x3C)[0]
    if data[pe:pe + 4] != b"PE\0\0" or len(data) < pe + 24:
        return "no PE signature"
    machine, count, _, symbols, symbol_count, optional_size, _ = struct.unpack_from("<HHIIIHH", data, pe + 4)
    if machine != MACHINES[arch]:
        return "machine %#x, not %s" % (machine, arch)
    if symbols or symbol_count:
        return "not stripped (symbol table)"
    table = pe + 24 + optional_size
    if len(data) < table + 40 * count:
        return "section table cut short"
    end = max((sum(struct.unpack_from("<II", data, table + 40 * i + 16)) for i in range(count)), default=0)
    if len(data) > end:
        return "not stripped (%d bytes behind the last section)" % (len(data) - end)
    return None


def limit_kib(name, arch):
    """The size a launcher must not exceed, in KiB."""
    return max(BUDGETS[name], INTERIM_LIMITS.get((name, arch), 0))


def verdict(name, arch, data):
    """(line of the report, passed) for one launcher image."""
    fault = image_fault(data, arch)
    size = len(data) / KIB
    budget, limit = BUDGETS[name], limit_kib(name, arch)
    if fault:
        status, passed = "FAIL: " + fault, False
    elif size > limit:
        status, passed = "FAIL: past the limit of %d KiB" % limit, False
    elif size > budget:
        status, passed = "over budget by %.1f KiB (limit %d KiB)" % (size - budget, limit), True
    else:
        status, passed = "within budget", True
    return "%-17s %-4s %8.1f %8d  %s" % (name, arch, size, budget, status), passed


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--x64", metavar="BUILD_DIR")
    parser.add_argument("--x86", metavar="BUILD_DIR")
    args = parser.parse_args(argv)
    trees = {arch: tree for arch, tree in (("x64", args.x64), ("x86", args.x86)) if tree}
    if not trees:
        parser.error("name at least one build tree")
    print("%-17s %-4s %8s %8s  %s" % ("launcher", "arch", "KiB", "budget", "status"))
    passed = True
    for name, folder, archs in LAUNCHERS:
        for arch in archs:
            if arch not in trees:
                continue
            path = os.path.join(trees[arch], folder, name + ".exe")
            if not os.path.isfile(path):
                print("%-17s %-4s %8s %8d  FAIL: %s missing" % (name, arch, "-", BUDGETS[name], path))
                passed = False
                continue
            with open(path, "rb") as f:
                line, ok = verdict(name, arch, f.read())
            print(line)
            passed = passed and ok
    return 0 if passed else 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
