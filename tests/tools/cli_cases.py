"""The packaging tool's command line, one set of cases for zendra-pack on Linux and for
zendra-pack.exe under Wine.

    cli_cases.py --version-text 0.1.0 --pe LAUNCHER.exe --elf PROGRAM [--wine WINE]
                 [--reference LINUX-ZENDRA-PACK] TOOL

Each case gives the arguments, the exit code and the exact standard error. With --reference
every case also runs with the Linux tool, and both must print the same and write the same
bytes (the Linux tool adds resources through $ZENDRA_RESOURCE_HELPER under Wine; the
resource case runs only where one of the two writes resources in-process or a helper is set).
"""
import argparse
import os
import shutil
import struct
import subprocess
import sys
import tempfile

# Every file of the cases lives in a directory whose name has a blank and non-ASCII letters.
DIR_NAME = "Grüße dir"

DESCRIPTION = """{
  "codePage": 1250,
  "strings": {"launcherType": 1, "applicationName": "Łódź Größe", "classPath": "A1lib\\\\app.jar"},
  "messages": {"msgCaption": "Gruß ☃"},
  "languages": [{"key": "de", "messages": {"msgCaption": "Grüße"}}],
  "files": [{"name": "daten\\\\Größe.txt", "source": "quelle ä.txt"}, {"name": "x.bin", "hex": "005a"}]
}"""

FILES = {
    "app.json": DESCRIPTION,
    "quelle ä.txt": "Inhalt\n",
    "snow.json": '{"strings": {"applicationName": "snow \\u2603"}}',
    "device.json": '{"files": [{"name": "sub\\\\com9.txt", "text": "x"}]}',
    "badpage.json": '{"codePage": 1200}',
    "res.json": '{"strings": {"launcherType": 1}, "resources": {"splashBitmap": "s.bmp", "icon": "a.ico"}}',
}

# (name, arguments, exit code, standard error, standard output or None); {d} is the directory.
CASES = [
    ("version", ["--version"], 0, "", "zendra-pack {version}\n"),
    ("pack", ["{pe}", "{d}/app.json", "{d}/app.exe"], 0, "", ""),
    ("verify", ["--verify", "{d}/app.exe"], 0, "", None),
    ("dump", ["--dump", "{d}/app.exe", "--extract-dir", "{d}/out"], 0, None, None),
    ("repack-dump", ["{d}/app.exe", "{d}/dumped.json", "{d}/again.exe"], 0, None, ""),
    ("dump-again", ["--dump", "{d}/again.exe"], 0, None, None),
    ("elf", ["{elf}", "{d}/res.json", "{d}/app.elf"], 0,
     "note: resources ignored (splashBitmap, icon): an ELF launcher carries no Windows resources\n", ""),
    ("unwritable", ["{pe}", "{d}/snow.json", "{d}/no.exe"], 1,
     'zendra-pack: strings["applicationName"]: "snow \u2603" cannot be written in code page 1252: U+2603 "\u2603" '
     'has no character there (name another "codePage" or give the bytes as {"hex": ...})\n', ""),
    ("device", ["{pe}", "{d}/device.json", "{d}/no.exe"], 1,
     'zendra-pack: files[0]: "com9.txt" is a Windows device name\n', ""),
    ("code-page", ["{pe}", "{d}/badpage.json", "{d}/no.exe"], 1,
     "zendra-pack: codePage: must be a Windows ANSI code page (874, 932, 936, 949, 950, 1250 to 1258) or 65001\n", ""),
    ("usage", ["{pe}", "{d}/app.json"], 2, "zendra-pack: bad arguments (see zendra-pack --help)\n", ""),
    ("resources", ["{pe}", "{d}/res.json", "{d}/res.exe"], 0, "", ""),
]


def bmp_file():
    """A 2 x 2 24-bit BMP."""
    pixels = bytes(range(16))
    info = struct.pack("<IiiHHIIiiII", 40, 2, 2, 1, 24, 0, len(pixels), 0, 0, 0, 0)
    return struct.pack("<2sIHHI", b"BM", 54 + len(pixels), 0, 0, 54) + info + pixels


def ico_file():
    """An icon file with one 16 x 16 32-bit image."""
    dib = struct.pack("<IiiHHIIiiII", 40, 16, 32, 1, 32, 0, 0, 0, 0, 0, 0) + bytes(16 * 16 * 4 + 16 * 4)
    return struct.pack("<HHH", 0, 1, 1) + struct.pack("<BBBBHHII", 16, 16, 0, 0, 1, 32, len(dib), 22) + dib


class Tool:
    """One zendra-pack: native, or a Windows one run by Wine with Windows paths."""

    def __init__(self, path, wine=None):
        self.path, self.wine = path, wine

    def form(self, path):
        return "Z:" + path.replace("/", "\\") if self.wine else path

    def run(self, args, d, values):
        def fill(arg):
            if arg.startswith("{d}/"):
                return self.form(os.path.join(d, arg[4:]))
            return arg.format(**values) if arg.startswith("{") else arg
        command = ([self.wine] if self.wine else []) + [self.path] + [fill(a) for a in args]
        env = dict(os.environ, LANG="C.UTF-8", WINEDEBUG="-all")
        done = subprocess.run(command, capture_output=True, timeout=120, env=env)
        text = lambda data: data.decode("utf-8", "replace").replace(self.form(d), "{d}")
        return done.returncode, text(done.stderr), text(done.stdout), done.stdout


def prepare(root):
    d = os.path.join(root, DIR_NAME)
    os.makedirs(d)
    for name, text in FILES.items():
        with open(os.path.join(d, name), "w", encoding="utf-8") as f:
            f.write(text)
    with open(os.path.join(d, "s.bmp"), "wb") as f:
        f.write(bmp_file())
    with open(os.path.join(d, "a.ico"), "wb") as f:
        f.write(ico_file())
    return d


def run_cases(tool, d, values, writes_resources, seen=None):
    """Runs every case in d; returns the failures. seen receives what each case printed."""
    failures = []
    for name, args, code, err, out in CASES:
        if name == "resources" and not writes_resources:
            print("skipped %s: no resource writer here" % name)
            continue
        *got, raw = tool.run(args, d, values)
        if name == "dump":
            with open(os.path.join(d, "dumped.json"), "wb") as f:
                f.write(raw)
        elif seen is not None:
            seen[name] = got
        want = (code, err, None if out is None else out.format(**values))
        for what, expected, actual in zip(("exit code", "stderr", "stdout"), want, got):
            if expected is not None and expected != actual:
                failures.append("%s: %s %r, expected %r" % (name, what, actual, expected))
    return failures


def compare(runs, writes_resources):
    """Runs the cases with each (tool, values) in a directory of its own; every output file
    must be the same bytes."""
    failures = []
    dirs = []
    printed = [{}, {}]
    with tempfile.TemporaryDirectory() as a, tempfile.TemporaryDirectory() as b:
        for (tool, values), root in zip(runs, (a, b)):
            d = prepare(root)
            seen = printed[len(dirs)]
            failures += ["%s: %s" % (tool.path, f) for f in run_cases(tool, d, values, writes_resources, seen)]
            dirs.append(d)
        for name, got in printed[0].items():
            if got != printed[1].get(name):
                failures.append("%s: the tools print %r and %r" % (name, got, printed[1].get(name)))
        for name in ("app.exe", "again.exe", "app.elf", "res.exe", "out/daten/Größe.txt"):
            if name == "res.exe" and not writes_resources:
                continue
            contents = []
            for d in dirs:
                path = os.path.join(d, name)
                contents.append(open(path, "rb").read() if os.path.exists(path) else None)
            if None in contents:
                failures.append("%s missing" % name)
            elif contents[0] != contents[1]:
                failures.append("%s differs between the two tools" % name)
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("tool")
    parser.add_argument("--version-text", required=True)
    parser.add_argument("--pe", required=True)
    parser.add_argument("--elf", required=True)
    parser.add_argument("--wine")
    parser.add_argument("--reference")
    options = parser.parse_args()
    tool = Tool(options.tool, options.wine)
    values = {"version": options.version_text, "pe": tool.form(options.pe), "elf": tool.form(options.elf)}
    writes_resources = bool(options.wine)
    if options.reference:
        reference = Tool(options.reference)
        ref_values = dict(values, pe=options.pe, elf=options.elf)
        writes_resources = writes_resources and bool(os.environ.get("ZENDRA_RESOURCE_HELPER"))
        failures = compare([(tool, values), (reference, ref_values)], writes_resources)
    else:
        with tempfile.TemporaryDirectory() as root:
            failures = run_cases(tool, prepare(root), values, writes_resources)
    for failure in failures:
        print("FAIL " + failure)
    print("%d failures" % len(failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
