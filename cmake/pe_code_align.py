#!/usr/bin/env python3
"""Compiler launcher for Windows code: each function's section aligned only as far as it needs.

Usage: pe_code_align.py <compiler command...>   (as a CMake compiler launcher)

The PE assembler gives every code section of its own (one per function with -ffunction-sections)
a 16-byte alignment and pads the section's size to it, so a launcher of some 800 functions
carries kilobytes of filler. The compiler asks for the alignment a function really needs with
its own ".align" (2 for member functions, which pointers to members rely on); this launcher
compiles to assembly, gives the code sections the assembler's 1-byte base alignment (".section
name, "x0"") and assembles that. Any command that does not compile one source file to an object
runs unchanged.
"""
import os
import re
import subprocess
import sys

CODE_SECTION = re.compile(r'^(\t\.section\t\.text(?:\$[^,\s]*)?),"x"$', re.M)


def compiler_index(command):
    """The position of the compiler driver itself (a launcher such as ccache may come first)."""
    for i, word in enumerate(command):
        if re.search(r"(gcc|g\+\+|cc|c\+\+)(-[\w.]+)?$", os.path.basename(word)) and "ccache" not in word:
            return i
    return 0


def main(command):
    """Compiles through assembly with packed code sections; returns the exit code."""
    if "-c" not in command or "-o" not in command:
        return subprocess.call(command)
    at = command.index("-o") + 1
    obj = command[at]
    asm = obj + ".s"
    to_assembly = list(command)
    to_assembly[to_assembly.index("-c")] = "-S"
    to_assembly[at] = asm
    code = subprocess.call(to_assembly)
    if code != 0:
        return code
    with open(asm, encoding="utf-8", errors="surrogateescape") as handle:
        text = handle.read()
    with open(asm, "w", encoding="utf-8", errors="surrogateescape") as handle:
        handle.write(CODE_SECTION.sub(r'\1,"x0"', text))
    try:
        return subprocess.call([command[compiler_index(command)], "-c", asm, "-o", obj])
    finally:
        os.remove(asm)


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
