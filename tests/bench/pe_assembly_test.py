#!/usr/bin/env python3
"""The Windows compile launcher's rewriting of assembly: code sections packed, string literals moved
into shared sections with every reference following them, and other data left as it was; and
unwind directives replaced by table entries that point to shared records; and real compiles and
links in which two objects' equal literal, and equal unwind records, end up once in the image."""

import os
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "cmake"))
import pe_assembly  # noqa: E402

X64 = """\
\t.section .rdata,"dr"
.LC1:
\t.ascii "basic_string::append\\0"
.LC12:
\t.ascii "a long "
\t.ascii "text\\0"
\t.align 2
.LC2:
\t.ascii "w\\0\\0\\0"
\t.align 4
.LC3:
\t.long\t1069547520
.LC4:
\t.ascii "ab"
\t.long\t3
\t.section\t.text$_Z1fv,"x"
\tleaq\t.LC1(%rip), %rcx
\tleaq\t.LC12(%rip), %rdx
\tleaq\t.LC2+2(%rip), %r8
\tflds\t.LC3(%rip)
\tleaq\t.LC4(%rip), %r9
"""

X86 = """\
\t.section .rdata,"dr"
LC0:
\t.ascii "basic_string::append\\0"
\t.section\t.text$_Z1gv,"x"
\tmovl\t$LC0, (%esp)
"""


UNWIND = """\
\t.section\t.text$_Z1av,"x0"
\t.seh_proc\t_Z1av
_Z1av:
\tpushq\t%rbx
\t.seh_pushreg\t%rbx
\t.seh_endprologue
\tret
\t.seh_endproc
\t.section\t.text$_Z1bv,"x0"
\t.linkonce discard
\t.seh_proc\t_Z1bv
_Z1bv:
\t.seh_endprologue
\tret
\t.seh_endproc
\t.section\t.text$_Z1dv,"x0"
\t.seh_proc\t_Z1dv
_Z1dv:
\t.seh_endprologue
\tret
\t.seh_endproc
\t.section\t.text$_Z1cv,"x0"
\t.seh_proc\t_Z1cv
_Z1cv:
\t.seh_handler\t__gxx_personality_seh0, @unwind, @except
\t.seh_endprologue
\tret
\t.seh_endproc
"""


def symbol_of(text, data):
    """The symbol whose section holds the literal line `data`."""
    lines = text.split("\n")
    return lines[lines.index(data) - 1].rstrip(":")


class Rewriting(unittest.TestCase):
    def test_literals_move_and_references_follow(self):
        out = pe_assembly.packed(X64)
        append = symbol_of(out, '\t.ascii "basic_string::append\\0"')
        long_text = symbol_of(out, '\t.ascii "a long "')
        wide = symbol_of(out, '\t.ascii "w\\0\\0\\0"')
        cases = [
            (f"\tleaq\t{append}(%rip), %rcx", "a reference follows its literal"),
            (f"\tleaq\t{long_text}(%rip), %rdx", ".LC12 is not taken for .LC1"),
            (f"\tleaq\t{wide}+2(%rip), %r8", "an offset stays"),
            (f'\t.section\t.rdata${wide},"dr1"', "the literal keeps its alignment of 2"),
            (f'\t.section\t.rdata${append},"dr0"', "a literal without alignment packs to 1"),
            ("\t.linkonce discard", "one copy is kept"),
            ("\tflds\t.LC3(%rip)", "other data keeps its label"),
            ("\tleaq\t.LC4(%rip), %r9", "a literal followed by more data keeps its label"),
            ('\t.section\t.text$_Z1fv,"x0"', "code sections are packed"),
        ]
        for line, why in cases:
            with self.subTest(why):
                self.assertIn(line, out.split("\n"))
        self.assertIn(".LC3:\n\t.long\t1069547520", out)
        self.assertIn('.LC4:\n\t.ascii "ab"\n\t.long\t3', out)

    def test_equal_literals_get_equal_names_across_targets(self):
        x64 = symbol_of(pe_assembly.packed(X64), '\t.ascii "basic_string::append\\0"')
        out = pe_assembly.packed(X86)
        self.assertEqual(symbol_of(out, '\t.ascii "basic_string::append\\0"'), x64)
        self.assertIn(f"\tmovl\t${x64}, (%esp)", out.split("\n"))


    def test_unwind_directives_become_entries_of_shared_records(self):
        records = {"_Z1av": bytes([1, 2, 1, 0, 2, 48]), "_Z1bv": bytes([1, 1, 1, 0, 1, 48, 0, 0]),
                   "_Z1cv": bytes([9, 0, 0, 0]), "_Z1dv": bytes([1, 0, 0, 0])}
        out = pe_assembly.shared_unwind(UNWIND, records)
        lines = out.split("\n")
        cases = [
            ("\t.seh_pushreg\t%rbx" not in lines, "a shared function's directives go"),
            ('\t.section\t.pdata$_Z1av,"dr2"' in lines, "the entry is named after the code section"),
            (lines[lines.index('\t.section\t.pdata$_Z1bv,"dr2"') + 1] == "\t.linkonce discard",
             "the entry of an inline function is kept once with it"),
            ("\t.byte\t1,2,1,0,2,48" in lines, "the record's bytes stay as assembled"),
            (out.count("\t.seh_") == 4 and "\t.seh_proc\t_Z1cv" in lines, "a function with a handler keeps its own"),
            (".pdata$_Z1cv" not in out, "and gets no second entry"),
            (".pdata$_Z1dv" not in out and "\t.seh_proc\t_Z1dv" not in lines, "a leaf function needs no entry"),
        ]
        for holds, why in cases:
            with self.subTest(why):
                self.assertTrue(holds, out)


COMPILER = "x86_64-w64-mingw32-g++-win32"


def unwind_entries(image):
    """(begin, end, record) of each function table entry of a PE+ image."""
    header = struct.unpack_from("<I", image, 0x3C)[0]
    count, optional = struct.unpack_from("<H", image, header + 6)[0], struct.unpack_from("<H", image, header + 20)[0]
    for at in range(header + 24 + optional, header + 24 + optional + 40 * count, 40):
        if image[at:at + 8].rstrip(b"\0") == b".pdata":
            size, _, _, pointer = struct.unpack_from("<IIII", image, at + 8)
            return [struct.unpack_from("<III", image, pointer + i) for i in range(0, size, 12)]
    return []


@unittest.skipUnless(shutil.which(COMPILER), "MinGW-w64 compiler missing")
class CompileAndLink(unittest.TestCase):
    def link(self, sources, scratch):
        """The image linked from `sources` compiled through the launcher."""
        objects = []
        for name, code in sources.items():
            source = os.path.join(scratch, name + ".cpp")
            with open(source, "w", encoding="utf-8") as handle:
                handle.write(code)
            objects.append(source + ".obj")
            command = [COMPILER, "-Os", "-ffunction-sections", "-c", source, "-o", objects[-1]]
            self.assertEqual(pe_assembly.main(command), 0)
        exe = os.path.join(scratch, "t.exe")
        subprocess.run([COMPILER, *objects, "-o", exe], check=True)
        names = subprocess.run([COMPILER.replace("g++-win32", "nm"), exe], check=True, capture_output=True, text=True)
        self.symbols = {line.split()[2]: int(line.split()[0], 16) for line in names.stdout.splitlines()
                        if len(line.split()) == 3}
        with open(exe, "rb") as handle:
            return handle.read()

    def test_a_literal_of_two_objects_is_linked_once(self):
        text = "a literal that two objects share"
        sources = {
            "a": f'#include <cstdio>\nint g();\nint main() {{ return std::puts("{text}") + g(); }}\n',
            "b": f'#include <cstdio>\nint g() {{ return std::puts("{text}"); }}\n',
        }
        with tempfile.TemporaryDirectory() as scratch:
            self.assertEqual(self.link(sources, scratch).count(text.encode()), 1)

    def test_functions_of_two_objects_share_one_unwind_record(self):
        body = "{ volatile char b[64]; b[0] = x; return h(b) + 1; }"
        sources = {
            "a": f"int h(volatile char*);\nint f(int x) {body}\nint main() {{ return f(1); }}\n",
            "b": f"int h(volatile char*);\nint g(int x) {body}\n",
            "c": "int h(volatile char* b) { return b[0]; }\n",
        }
        with tempfile.TemporaryDirectory() as scratch:
            entries = unwind_entries(self.link(sources, scratch))
        record = {begin + 0x140000000: record for begin, _, record in entries}
        f, g, h = (record.get(self.symbols[name]) for name in ("_Z1fi", "_Z1gi", "_Z1hPVc"))
        self.assertIsNotNone(f, "f has its entry")
        self.assertEqual(f, g, "f and g open alike and share a record")
        self.assertNotEqual(f, h, "h opens otherwise")
        self.assertEqual(sorted(entries), entries)


if __name__ == "__main__":
    unittest.main()
