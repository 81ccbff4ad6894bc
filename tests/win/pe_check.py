#!/usr/bin/env python3
"""Static checks of the launcher executables, without running them.

For every image: machine type, subsystem, an entry point inside code, imports that parse
and name only system DLLs, the manifest, version and dialog 101 resources, and (for a
stripped build) nothing behind the last section, where the packaging tool appends its data.

usage: pe_check.py --machine 64|32 --version X.Y.Z [--stripped yes|no]
                   (--gui EXE | --console EXE | --installer EXE)...
An installer image is a GUI image that also carries dialogs 103 and 104.
Exit status 0 when every check passes, 1 otherwise.
"""

import argparse
import os
import struct
import sys

MACHINES = {64: 0x8664, 32: 0x14C}
SUBSYSTEMS = {"gui": 2, "console": 3}
RT_DIALOG, RT_VERSION, RT_MANIFEST = 5, 16, 24
IMAGE_SCN_CNT_CODE, IMAGE_SCN_MEM_EXECUTE = 0x20, 0x20000000

# DLLs every Windows installation has; a launcher may import these and nothing else.
SYSTEM_DLLS = {
    "kernel32.dll", "msvcrt.dll", "user32.dll", "gdi32.dll", "advapi32.dll", "comctl32.dll",
    "shell32.dll", "comdlg32.dll", "ole32.dll", "oleaut32.dll", "shlwapi.dll", "version.dll",
    "ws2_32.dll", "wininet.dll", "ntdll.dll", "bcrypt.dll",
}

# Where Wine keeps its PE libraries; used, when present, to confirm that imported names exist.
WINE_X64_DIR = "/usr/lib/x86_64-linux-gnu/wine/x86_64-windows"
WINE_X86_DIRS = ["/usr/lib/x86_64-linux-gnu/wine/i386-windows", "/usr/lib/i386-linux-gnu/wine/i386-windows"]
# The C runtime's 32-bit exports differ from its 64-bit ones, so an x64 library cannot stand in.
WORD_SIZE_SPECIFIC = {"msvcrt.dll"}


def reference_library(dll, word_size):
    """A Wine library whose exports the image's imports from dll must be found in, or None."""
    name = dll.lower()
    candidates = [] if word_size == 64 else [os.path.join(d, name) for d in WINE_X86_DIRS]
    if word_size == 64 or name not in WORD_SIZE_SPECIFIC:
        candidates.append(os.path.join(WINE_X64_DIR, name))
    return next((c for c in candidates if os.path.exists(c)), None)


class PeError(Exception):
    """The image is malformed where a check needed to read it."""


class PeImage:
    """The parts of a PE image that the checks read."""

    def __init__(self, data):
        self.data = data
        if data[:2] != b"MZ":
            raise PeError("no MZ header")
        pe = self.u32(0x3C)
        if data[pe:pe + 4] != b"PE\0\0":
            raise PeError("no PE signature")
        (self.machine, count, _, self.symbol_table, _, optional_size, _) = struct.unpack_from(
            "<HHIIIHH", data, pe + 4)
        opt = pe + 24
        self.magic = self.u16(opt)
        if self.magic not in (0x10B, 0x20B):
            raise PeError("unknown optional header magic %#x" % self.magic)
        self.entry = self.u32(opt + 16)
        self.subsystem = self.u16(opt + 68)
        dirs = opt + (96 if self.magic == 0x10B else 112)
        self.directories = [struct.unpack_from("<II", data, dirs + 8 * i)
                            for i in range(min(self.u32(dirs - 4), 16))]
        self.sections = []
        for i in range(count):
            base = opt + optional_size + 40 * i
            name = data[base:base + 8].rstrip(b"\0").decode("latin-1")
            vsize, va, raw_size, raw_ptr = struct.unpack_from("<IIII", data, base + 8)
            flags = self.u32(base + 36)
            self.sections.append((name, va, max(vsize, raw_size), raw_ptr, raw_size, flags))

    def u16(self, offset):
        return struct.unpack_from("<H", self.data, offset)[0]

    def u32(self, offset):
        return struct.unpack_from("<I", self.data, offset)[0]

    def section_of(self, rva):
        for section in self.sections:
            if section[1] <= rva < section[1] + section[2]:
                return section
        return None

    def offset(self, rva):
        section = self.section_of(rva)
        if section is None or rva - section[1] >= section[4]:
            raise PeError("address %#x lies outside the file's sections" % rva)
        return section[3] + rva - section[1]

    def cstring(self, rva):
        start = self.offset(rva)
        end = self.data.find(b"\0", start)
        if end < 0:
            raise PeError("unterminated name at %#x" % rva)
        return self.data[start:end].decode("latin-1")

    def imports(self):
        """{dll name: [function names, or '#ordinal']} from the import directory."""
        rva, size = self.directories[1] if len(self.directories) > 1 else (0, 0)
        result = {}
        if rva == 0:
            return result
        wide = self.magic == 0x20B
        thunk_size, ordinal_flag = (8, 1 << 63) if wide else (4, 1 << 31)
        for at in range(self.offset(rva), self.offset(rva) + size, 20):
            lookup, _, _, name_rva, first = struct.unpack_from("<IIIII", self.data, at)
            if name_rva == 0:
                break
            names = []
            thunk = lookup or first
            while True:
                value = struct.unpack_from("<Q" if wide else "<I", self.data, self.offset(thunk))[0]
                if value == 0:
                    break
                names.append("#%d" % (value & 0xFFFF) if value & ordinal_flag
                             else self.cstring((value & 0x7FFFFFFF) + 2))
                thunk += thunk_size
            result[self.cstring(name_rva)] = names
        return result

    def exports(self):
        """The names the image exports."""
        rva, _ = self.directories[0] if self.directories else (0, 0)
        if rva == 0:
            return set()
        base = self.offset(rva)
        count, _, names_rva = struct.unpack_from("<III", self.data, base + 24)
        return {self.cstring(self.u32(self.offset(names_rva) + 4 * i)) for i in range(count)}

    def resources(self):
        """{(type, name): data} for every resource, with numeric or string keys."""
        rva, _ = self.directories[2] if len(self.directories) > 2 else (0, 0)
        if rva == 0:
            return {}
        root = self.offset(rva)
        result = {}
        for type_key, type_dir in self._directory(root, root):
            for name_key, name_dir in self._directory(root, type_dir):
                for _, leaf in self._directory(root, name_dir):
                    data_rva, size = struct.unpack_from("<II", self.data, leaf)
                    start = self.offset(data_rva)
                    result[(type_key, name_key)] = self.data[start:start + size]
        return result

    def _directory(self, root, offset):
        named, numbered = struct.unpack_from("<HH", self.data, offset + 12)
        for i in range(named + numbered):
            key, target = struct.unpack_from("<II", self.data, offset + 16 + 8 * i)
            if key & 0x80000000:
                at = root + (key & 0x7FFFFFFF)
                key = self.data[at + 2:at + 2 + 2 * self.u16(at)].decode("utf-16-le")
            yield key, root + (target & 0x7FFFFFFF)


def read_sz(data, at):
    """A zero-terminated UTF-16 string at at: (text, offset after the terminator)."""
    end = at
    while data[end:end + 2] != b"\0\0":
        end += 2
    return data[at:end].decode("utf-16-le"), end + 2


def read_sz_or_ord(data, at):
    """A resource name field: 0 (none), 0xFFFF and an ordinal, or a string."""
    first = struct.unpack_from("<H", data, at)[0]
    if first == 0:
        return "", at + 2
    if first == 0xFFFF:
        return struct.unpack_from("<H", data, at + 2)[0], at + 4
    return read_sz(data, at)


def parse_dialog(data):
    """An extended dialog template as a dict with its controls."""
    version, signature = struct.unpack_from("<HH", data, 0)
    if (version, signature) != (1, 0xFFFF):
        raise PeError("dialog 101 is not an extended template")
    ex_style, style, count = struct.unpack_from("<IIH", data, 8)
    dialog = {"style": style, "ex_style": ex_style, "rect": struct.unpack_from("<hhhh", data, 18), "controls": []}
    at = 26
    _, at = read_sz_or_ord(data, at)  # menu
    dialog["class"], at = read_sz_or_ord(data, at)
    dialog["caption"], at = read_sz(data, at)
    dialog["font_size"] = struct.unpack_from("<H", data, at)[0]
    dialog["font"], at = read_sz(data, at + 6)
    for _ in range(count):
        at = (at + 3) & ~3
        _, _, control_style = struct.unpack_from("<III", data, at)
        rect = struct.unpack_from("<hhhh", data, at + 12)
        control_id = struct.unpack_from("<I", data, at + 20)[0]
        window_class, at = read_sz_or_ord(data, at + 24)
        text, at = read_sz_or_ord(data, at)
        at += 2 + struct.unpack_from("<H", data, at)[0]
        dialog["controls"].append((control_id, window_class, text, rect, control_style))
    return dialog


def version_strings(data, at=0, end=None, found=None):
    """Every key and string value of a VS_VERSIONINFO block, flattened."""
    found = {} if found is None else found
    end = len(data) if end is None else end
    while at + 6 <= end:
        length, value_length, kind = struct.unpack_from("<HHH", data, at)
        if length == 0:
            break
        key, child = read_sz(data, at + 6)
        child = (child + 3) & ~3
        if kind == 1 and value_length:
            found[key] = data[child:child + 2 * value_length].decode("utf-16-le").rstrip("\0")
            child = (child + 2 * value_length + 3) & ~3
        elif value_length:
            child = (child + value_length + 3) & ~3
        version_strings(data, child, at + length, found)
        at = (at + length + 3) & ~3
    return found


# Dialog 101 as built: (id, window class ordinal, text, x, y, width, height, style bits).
EXPECTED_CONTROLS = [
    (1001, 0x82, "@MSG_ERROR_DIALOG_TEXT@", (7, 7, 261, 12), 0),
    (1000, 0x81, "", (7, 21, 261, 128), 0x0004 | 0x0800 | 0x00200000 | 0x00800000),
    (2, 0x80, "@MSG_ERROR_DIALOG_OK@", (115, 157, 50, 14), 0x0001),
]
DIALOG_STYLE = 0x80 | 0x80000000 | 0x00C00000 | 0x00080000  # modal frame, pop-up, caption, system menu

SS_NOPREFIX, SS_ICON, WS_BORDER, WS_VISIBLE = 0x80, 0x3, 0x00800000, 0x10000000
NO_ID = 0xFFFFFFFF
# The installer's dialogs: progress 103 and question 104, with their class, frame and controls.
INSTALLER_DIALOGS = {
    103: {"style": 0x80 | 0x00C00000 | 0x00080000 | 0x00020000,  # modal frame, caption, system menu, minimise box
          "ex_style": 0x00040000, "class": "MyDialogClass", "rect": (22, 17, 233, 79), "caption": "",
          "controls": [(1003, 0x82, "", (46, 6, 176, 34), SS_NOPREFIX),
                       (1001, "msctls_progress32", "", (6, 61, 162, 10), WS_BORDER),
                       (1002, 0x82, "", (6, 50, 154, 8), SS_NOPREFIX),
                       (2, 0x80, "Cancel", (173, 59, 50, 14), 0),
                       (NO_ID, 0x82, 1001, (13, 10, 32, 32), SS_ICON)],
          "hidden": {1002}},
    104: {"style": DIALOG_STYLE, "ex_style": 0, "class": "", "rect": (0, 0, 233, 79), "caption": "",
          "controls": [(1004, 0x80, "Download", (61, 59, 50, 14), 0x0001),
                       (1005, 0x80, "Locate", (117, 59, 50, 14), 0),
                       (2, 0x80, "Cancel", (173, 59, 50, 14), 0),
                       (1003, 0x82, "", (46, 6, 176, 45), 0),
                       (NO_ID, 0x82, 1001, (13, 10, 32, 32), SS_ICON)],
          "hidden": set()},
}


def check_controls(name, dialog, expected_controls, problems):
    # A predefined class by name is the same class as its ordinal.
    ordinals = {"button": 0x80, "edit": 0x81, "static": 0x82}

    def folded(value):
        return ordinals.get(value.lower(), value.lower()) if isinstance(value, str) else value
    actual = [(c[0], folded(c[1]), c[2], c[3]) for c in dialog["controls"]]
    expected = [(e[0], e[1], e[2], e[3]) for e in expected_controls]
    if actual != expected:
        problems.append("%s controls %r, expected %r" % (name, actual, expected))
        return
    for control, want in zip(dialog["controls"], expected_controls):
        if control[4] & want[4] != want[4]:
            problems.append("%s control %d style %#x lacks %#x" % (name, control[0], control[4], want[4]))


def check_dialog(data, problems):
    dialog = parse_dialog(data)
    if dialog["style"] & DIALOG_STYLE != DIALOG_STYLE:
        problems.append("dialog 101 style %#x lacks %#x" % (dialog["style"], DIALOG_STYLE))
    if dialog["rect"][2:] != (275, 178):
        problems.append("dialog 101 is %dx%d, expected 275x178" % dialog["rect"][2:])
    if (dialog["font"], dialog["font_size"]) != ("MS Shell Dlg", 8):
        problems.append("dialog 101 font %r %d" % (dialog["font"], dialog["font_size"]))
    if dialog["caption"] != "@MSG_ERROR_DIALOG_CAPTION@":
        problems.append("dialog 101 caption %r" % dialog["caption"])
    check_controls("dialog 101", dialog, EXPECTED_CONTROLS, problems)
    return "dialog 101 (%d controls)" % len(dialog["controls"])


def check_installer_dialogs(resources, problems):
    """Dialogs 103 and 104 of the installer launcher, as their tables fix them."""
    for number, want in INSTALLER_DIALOGS.items():
        name = "dialog %d" % number
        data = resources.get((RT_DIALOG, number))
        if data is None:
            problems.append("no %s (type 5)" % name)
            continue
        dialog = parse_dialog(data)
        if dialog["style"] & want["style"] != want["style"]:
            problems.append("%s style %#x lacks %#x" % (name, dialog["style"], want["style"]))
        if dialog["ex_style"] & want["ex_style"] != want["ex_style"]:
            problems.append("%s extended style %#x lacks %#x" % (name, dialog["ex_style"], want["ex_style"]))
        # Class names compare as Windows compares them (resource compilers upper-case them).
        if dialog["class"].lower() != want["class"].lower():
            problems.append("%s class %r, expected %r" % (name, dialog["class"], want["class"]))
        for key in ("rect", "caption"):
            if dialog[key] != want[key]:
                problems.append("%s %s %r, expected %r" % (name, key, dialog[key], want[key]))
        if (dialog["font"], dialog["font_size"]) != ("MS Shell Dlg", 8):
            problems.append("%s font %r %d" % (name, dialog["font"], dialog["font_size"]))
        check_controls(name, dialog, want["controls"], problems)
        for control in dialog["controls"]:
            if control[0] in want["hidden"] and control[4] & WS_VISIBLE:
                problems.append("%s control %d is visible at start" % (name, control[0]))
    return "dialogs 103, 104"


def check_resources(image, path, version, problems, installer=False):
    resources = image.resources()
    manifest = resources.get((RT_MANIFEST, 1))
    if manifest is None:
        problems.append("no manifest resource (type 24, id 1)")
    else:
        for needle in (b'level="asInvoker"', b"Microsoft.Windows.Common-Controls", b"dpiAwareness"):
            if needle not in manifest:
                problems.append("manifest lacks %s" % needle.decode())
    strings = version_strings(resources.get((RT_VERSION, 1), b""))
    if not strings:
        problems.append("no version resource (type 16, id 1)")
    else:
        want = {"ProductName": "zendra", "FileVersion": version, "ProductVersion": version,
                "OriginalFilename": os.path.basename(path)}
        for key, value in want.items():
            if strings.get(key) != value:
                problems.append("version %s is %r, expected %r" % (key, strings.get(key), value))
    if (RT_DIALOG, 101) not in resources:
        problems.append("no dialog 101 (type 5)")
        return "resources incomplete"
    summary = "manifest, version %s %r, %s" % (
        strings.get("FileVersion"), strings.get("FileDescription"),
        check_dialog(resources[(RT_DIALOG, 101)], problems))
    if installer:
        summary += ", " + check_installer_dialogs(resources, problems)
    return summary


def check_imports(image, word_size, problems):
    imports = image.imports()
    for dll, names in sorted(imports.items()):
        if dll.lower() not in SYSTEM_DLLS:
            problems.append("imports non-system DLL %s" % dll)
            continue
        decorated = [n for n in names if "@" in n]
        if decorated:
            problems.append("%s: decorated names %s" % (dll, ", ".join(decorated)))
        library = reference_library(dll, word_size)
        if library is not None:
            with open(library, "rb") as handle:
                exported = PeImage(handle.read()).exports()
            missing = [n for n in names if not n.startswith("#") and n not in exported]
            if missing:
                problems.append("%s does not export %s" % (dll, ", ".join(missing)))
    return "imports " + ", ".join("%s (%d)" % (dll, len(names)) for dll, names in sorted(imports.items()))


def check_image(path, kind, word_size, version, stripped):
    installer = kind == "installer"
    kind = "gui" if installer else kind
    with open(path, "rb") as handle:
        data = handle.read()
    image = PeImage(data)
    problems = []
    if image.machine != MACHINES[word_size]:
        problems.append("machine %#x, expected %#x" % (image.machine, MACHINES[word_size]))
    if image.subsystem != SUBSYSTEMS[kind]:
        problems.append("subsystem %d, expected %d" % (image.subsystem, SUBSYSTEMS[kind]))
    code = image.section_of(image.entry)
    if code is None or not code[5] & (IMAGE_SCN_CNT_CODE | IMAGE_SCN_MEM_EXECUTE):
        problems.append("entry point %#x is not in a code section" % image.entry)
    imports = check_imports(image, word_size, problems)
    resources = check_resources(image, path, version, problems, installer)
    image_end = max(s[3] + s[4] for s in image.sections)
    if stripped and (image.symbol_table != 0 or len(data) != image_end):
        problems.append("%d bytes follow the last section" % (len(data) - image_end))
    summary = "%s: %s %s, %d bytes, entry in %s; %s; %s" % (
        os.path.basename(path), {64: "x64", 32: "x86"}[word_size], kind, len(data),
        code[0] if code else "?", imports, resources)
    return summary, problems


def main(argv):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--machine", type=int, choices=(32, 64), required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--stripped", choices=("yes", "no"), default="yes")
    parser.add_argument("--gui", action="append", default=[])
    parser.add_argument("--console", action="append", default=[])
    parser.add_argument("--installer", action="append", default=[], help="a GUI image with dialogs 103 and 104")
    args = parser.parse_args(argv)
    images = ([(p, "gui") for p in args.gui] + [(p, "console") for p in args.console]
              + [(p, "installer") for p in args.installer])
    if not images:
        parser.error("no executables given")
    failed = False
    for path, kind in images:
        try:
            summary, problems = check_image(path, kind, args.machine, args.version, args.stripped == "yes")
        except (OSError, PeError, struct.error, UnicodeDecodeError) as error:
            summary, problems = os.path.basename(path) + ": unreadable", [str(error)]
        print(summary)
        for problem in problems:
            print("  FAIL: " + problem)
        failed = failed or bool(problems)
    print("FAILED" if failed else "all checks passed")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
