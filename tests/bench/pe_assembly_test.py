#!/usr/bin/env python3
"""The Windows compile launcher's rewriting of assembly: code sections packed, string literals moved
into shared sections with every reference following them, and other data left as it was; and
a real compile and link in which two objects' equal literal ends up once in the image."""

import os
import shutil
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


@unittest.skipUnless(shutil.which("x86_64-w64-mingw32-g++-win32"), "MinGW-w64 compiler missing")
class CompileAndLink(unittest.TestCase):
    def test_a_literal_of_two_objects_is_linked_once(self):
        text = "a literal that two objects share"
        sources = {
            "a": f'#include <cstdio>\nint g();\nint main() {{ return std::puts("{text}") + g(); }}\n',
            "b": f'#include <cstdio>\nint g() {{ return std::puts("{text}"); }}\n',
        }
        compiler = "x86_64-w64-mingw32-g++-win32"
        with tempfile.TemporaryDirectory() as scratch:
            objects = []
            for name, code in sources.items():
                source = os.path.join(scratch, name + ".cpp")
                with open(source, "w", encoding="utf-8") as handle:
                    handle.write(code)
                objects.append(source + ".obj")
                command = [compiler, "-Os", "-ffunction-sections", "-c", source, "-o", objects[-1]]
                self.assertEqual(pe_assembly.main(command), 0)
            exe = os.path.join(scratch, "t.exe")
            subprocess.run([compiler, *objects, "-o", exe], check=True)
            with open(exe, "rb") as handle:
                self.assertEqual(handle.read().count(text.encode()), 1)


if __name__ == "__main__":
    unittest.main()
