#!/usr/bin/env python3
"""Compiler launcher for Windows code: compiles through assembly and packs two kinds of section.

Usage: pe_assembly.py [--digest=D] <compiler command...>   (as a CMake compiler launcher; the build
       passes this file's digest so that a change to it changes every compile command)

1. Code. The PE assembler gives every code section of its own (one per function with
   -ffunction-sections) a 16-byte alignment and pads the section's size to it, so a launcher of
   some 800 functions carries kilobytes of filler. The compiler asks for the alignment a function
   really needs with its own ".align" (2 for member functions, which pointers to members rely
   on), so code sections get the assembler's 1-byte base alignment (".section name, "x0"").
2. String literals. The compiler puts an object's literals into its one ".rdata" section: the
   linker can neither drop the literals of functions it drops nor share a literal that several
   objects use (the C++ library's error texts alone stand in dozens of objects). PE has no
   mergeable string sections, so each literal moves into a section of its own, named after its
   content and marked to keep one copy ("linkonce"), the way the compiler emits inline functions.
3. Unwind records (x64). The assembler writes one unwind record per function, yet most functions
   open with one of a few dozen prologues and so carry the same bytes. The code is assembled once
   to learn each function's record; then every record moves into a section named after its bytes
   and kept once, and each function's table entry (".pdata$name", as the assembler would name it)
   points to the shared copy. Leaf functions (no prologue at all) get no entry, as the calling
   convention allows.

Any command that does not compile one source file to an object runs unchanged.
"""
import hashlib
import os
import re
import struct
import subprocess
import sys

CODE_SECTION = re.compile(r'^(\t\.section\t\.text(?:\$[^,\s]*)?),"x"$')
RDATA_SECTION = re.compile(r'^\t\.section\s+\.rdata,"dr"$')
SECTION = re.compile(r"^\t\.(section|text|data|bss)\b")
ALIGN = re.compile(r"^\t\.align\s+(\d+)$")
LITERAL_LABEL = re.compile(r"^(\.?LC\d+):$")
ASCII = re.compile(r"^\t\.ascii\s")
# A directive that adds data to the literal before it: the literal is then not a string alone.
MORE_DATA = re.compile(r"^\t\.(?!section|text|data|bss|align|p2align|balign|globl|def|ident|linkonce|seh_)\w+")
LABEL_REFERENCE = re.compile(r"(?<![\w.])(\.?LC\d+)(?![\w$])")
SEH = re.compile(r"^\t\.seh_(\w+)\b")
# The record of a function that saves no register and moves no stack pointer: a leaf function,
# which the x64 calling convention lets go without a table entry (return address at the stack top).
LEAF_RECORD = bytes([1, 0, 0, 0])
TEXT_SECTION = re.compile(r'^\t\.section\t\.text\$([^,\s]+),"x0?"$')


def compiler_index(command):
    """The position of the compiler driver itself (a launcher such as ccache may come first)."""
    for i, word in enumerate(command):
        if re.search(r"(gcc|g\+\+|cc|c\+\+)(-[\w.]+)?$", os.path.basename(word)) and "ccache" not in word:
            return i
    return 0


def literal_section(align, data):
    """The lines of one literal in a shared section; its symbol is named after the content."""
    power = max(align, 1).bit_length() - 1
    symbol = "__zendra_literal_" + hashlib.sha1(f"{power}\n{''.join(data)}".encode()).hexdigest()[:20]
    head = [f'\t.section\t.rdata${symbol},"dr{power}"', "\t.linkonce discard", f"\t.globl\t{symbol}", f"{symbol}:"]
    return symbol, head + data + ['\t.section .rdata,"dr"']


def packed(text):
    """The assembly with packed code sections and shared string literals."""
    lines = text.split("\n")
    out, names = [], {}
    in_rdata, i = False, 0
    while i < len(lines):
        line = lines[i]
        if SECTION.match(line):
            in_rdata = bool(RDATA_SECTION.match(line))
        align_match = ALIGN.match(line) if in_rdata else None
        at = i + 1 if align_match else i
        label = LITERAL_LABEL.match(lines[at]) if in_rdata and at < len(lines) else None
        if label:
            end = at + 1
            while end < len(lines) and ASCII.match(lines[end]):
                end += 1
            if end > at + 1 and not (end < len(lines) and MORE_DATA.match(lines[end])):
                symbol, block = literal_section(int(align_match.group(1)) if align_match else 1, lines[at + 1:end])
                names[label.group(1)] = symbol
                out.extend(block)
                i = end
                continue
        code = CODE_SECTION.match(line)
        out.append(code.group(1) + ',"x0"' if code else line)
        i += 1
    result = "\n".join(out)
    return LABEL_REFERENCE.sub(lambda m: names.get(m.group(1), m.group(1)), result) if names else result


def unwind_records(obj):
    """The bytes of each unwind section of a COFF object that has no relocations, by function section."""
    count, symbols, symbol_count = struct.unpack_from("<2xHxxxxII", obj, 0)
    optional = struct.unpack_from("<H", obj, 16)[0]
    strings = symbols + 18 * symbol_count
    found = {}
    for at in range(20 + optional, 20 + optional + 40 * count, 40):
        name = obj[at:at + 8].rstrip(b"\0")
        if re.fullmatch(rb"/\d+", name):
            start = strings + int(name[1:])
            name = obj[start:obj.index(b"\0", start)]
        size, pointer, _, _, relocations = struct.unpack_from("<IIIIH", obj, at + 16)
        if name.startswith(b".xdata$") and relocations == 0:
            found[name[7:].decode("utf-8", "surrogateescape")] = obj[pointer:pointer + size]
    return found


def with_code_sections(lines):
    """Each line with the name of the code section it stands in (None outside one)."""
    section = None
    for line in lines:
        if SECTION.match(line):
            match = TEXT_SECTION.match(line)
            section = match.group(1) if match else None
        yield line, section


def unwind_sections(lines, records):
    """The code sections whose unwind can be shared (one function, no handler, record known), and
    the subset of those the linker keeps once."""
    functions, once = {}, set()
    for line, section in with_code_sections(lines):
        if line == "\t.linkonce discard" and section:
            once.add(section)
        seh = SEH.match(line)
        if seh and seh.group(1) in ("proc", "handler", "handlerdata"):
            functions[section] = functions.get(section, 0) + (1 if seh.group(1) == "proc" else 2)
    shared = {name for name, n in functions.items() if name and n == 1 and name in records}
    return shared, once & shared


def shared_unwind(text, records):
    """The assembly with each function's unwind directives replaced by a table entry pointing to a
    shared record (`records`: the assembler's record bytes by code section)."""
    lines = text.split("\n")
    shared, once = unwind_sections(lines, records)
    out, tail, emitted, count = [], [], set(), 0
    for line, section in with_code_sections(lines):
        seh = SEH.match(line)
        if not (seh and section in shared):
            out.append(line)
            continue
        label = f".Lzendra_unwind_{count}"
        if seh.group(1) == "proc":
            out.append(label + "_begin:")
        elif seh.group(1) == "endproc":
            out.append(label + "_end:")
            count += 1
            record = records[section]
            if record == LEAF_RECORD:
                continue
            symbol = "__zendra_unwind_" + hashlib.sha1(record).hexdigest()[:20]
            entry = [f'\t.section\t.pdata${section},"dr2"'] + (["\t.linkonce discard"] if section in once else [])
            entry.append(f"\t.rva\t{label}_begin, {label}_end, {symbol}")
            if symbol not in emitted:
                emitted.add(symbol)
                entry += [f'\t.section\t.rdata${symbol},"dr2"', "\t.linkonce discard", f"\t.globl\t{symbol}",
                          f"{symbol}:", "\t.byte\t" + ",".join(str(b) for b in record)]
            tail.append("\n".join(entry))
    return "\n".join(out + tail) + "\n"


def assemble(command, asm, text, obj):
    """Writes `text` to `asm` and assembles it to `obj`; returns the exit code."""
    with open(asm, "w", encoding="utf-8", errors="surrogateescape") as handle:
        handle.write(text)
    return subprocess.call([command[compiler_index(command)], "-c", asm, "-o", obj])


def main(command):
    """Compiles through assembly with packed sections; returns the exit code."""
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
    try:
        with open(asm, encoding="utf-8", errors="surrogateescape") as handle:
            text = packed(handle.read())
        code = assemble(command, asm, text, obj)
        if code != 0 or "\t.seh_proc\t" not in text:
            return code
        with open(obj, "rb") as handle:
            records = unwind_records(handle.read())
        return assemble(command, asm, shared_unwind(text, records), obj)
    finally:
        os.remove(asm)


if __name__ == "__main__":
    arguments = sys.argv[1:]
    sys.exit(main(arguments[1:] if arguments and arguments[0].startswith("--digest=") else arguments))
