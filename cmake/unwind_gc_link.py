#!/usr/bin/env python3
"""Links a MinGW x64 executable so that --gc-sections really drops unused functions.

Usage: unwind_gc_link.py <compiler> <link arguments...>   (the link command CMake would run)

The default PE+ linker script keeps every .pdata and .xdata section (the unwind tables), and each
of those refers to its function, so section garbage collection removes next to nothing. This
wrapper links three times or so:
  1. with the unwind sections collectable, to learn which code sections nothing else reaches;
  2. with the default script, discarding the unwind sections of exactly those functions;
  3. again while the set of dropped functions still changes (code reached only from unwind
     tables, such as the personality routine, keeps its own unwind entries).
A link script without .pdata rules (x86, where unwind data is .eh_frame) links once, unchanged.
"""
import os
import re
import subprocess
import sys
import tempfile

# "removing unused section '.text$name[name]' in file 'lib.a(member.o)'": the bracket names the
# symbol of a COMDAT section and is not part of the section name.
REMOVED = re.compile(r"removing unused section '(\.text[^'\[]*)(?:\[[^']*\])?' in file '([^']*)'")
MAX_ROUNDS = 6


def run(command):
    """Runs the linker driver; returns (exit code, standard output + error)."""
    done = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
    return done.returncode, done.stdout


def default_script(command, scratch):
    """The linker's built-in script for this link, printed by --verbose."""
    code, out = run(command[:1] + ["-Wl,--verbose"] + output_replaced(command[1:], scratch))
    if code != 0:
        sys.stdout.write(out)
        sys.exit(code)
    parts = out.split("==================================================")
    return parts[1].strip("\n") if len(parts) >= 3 else None


def output_replaced(arguments, path):
    """The link arguments with the output file replaced by `path`."""
    result = list(arguments)
    for i, argument in enumerate(result):
        if argument == "-o" and i + 1 < len(result):
            result[i + 1] = path
    return result


def removed_code(output):
    """The (section, file) pairs of code sections the linker reported as removed."""
    return {(m.group(1), m.group(2)) for m in REMOVED.finditer(output)}


def file_pattern(name):
    """A linker-script pattern for a file name as the linker prints it ("lib.a(member.o)")."""
    member = re.fullmatch(r"(.*)\((.*)\)", name)
    if member:
        name = f"{member.group(1)}:{member.group(2)}"
    # Blanks and other unusual characters become one-character wildcards.
    return re.sub(r"[^A-Za-z0-9_./+:-]", "?", name)


def unwind_sections(link_map):
    """The (section, file) pairs of every .pdata and .xdata input section in a link map."""
    text = link_map[link_map.find("Linker script and memory map"):]
    found = set()
    pattern = re.compile(r"^ (\.[px]data\S*)(?:\s+0x\w+\s+0x\w+\s+(\S.*)|\n\s+0x\w+\s+0x\w+\s+(\S.*))$", re.M)
    for m in pattern.finditer(text):
        found.add((m.group(1), (m.group(2) or m.group(3)).strip()))
    return found


def code_section(unwind):
    """The code section an unwind section describes (".pdata$f" and ".xdata$f" -> ".text$f")."""
    return ".text" + unwind[len(".pdata"):]


def statement(sections, keep):
    """Linker-script input statements for (section, file) pairs, one per file."""
    by_file = {}
    for section, name in sections:
        by_file.setdefault(file_pattern(name), []).append(section)
    wrap = "KEEP({})" if keep else "{}"
    return "\n".join("    " + wrap.format(f"{name}({' '.join(sorted(names))})") for name, names in sorted(by_file.items()))


def pruned_script(script, unwind, removed):
    """The default script keeping the unwind sections of live code and discarding the others."""
    dead = {(s, f) for s, f in unwind if (code_section(s), f) in removed}
    live = unwind - dead
    keep = {kind: statement({(s, f) for s, f in live if s.startswith(kind)}, True) for kind in (".pdata", ".xdata")}
    script = script.replace("    KEEP(*(.pdata*))", keep[".pdata"] + "\n    *(.pdata*)")
    script = script.replace("    KEEP(*(.xdata*))", keep[".xdata"] + "\n    *(.xdata*)")
    at = script.index("  .pdata ")
    return script[:at] + "  /DISCARD/ :\n  {\n" + statement(dead, False) + "\n  }\n" + script[at:]


def link(command, script_text, scratch, extra):
    """Links with `script_text` as the whole linker script; returns (exit code, output)."""
    path = os.path.join(scratch, "link.x")
    with open(path, "w", encoding="utf-8") as handle:
        handle.write(script_text)
    return run(command + [f"-Wl,-T,{path}", "-Wl,--print-gc-sections"] + extra)


def main(command):
    """Links `command` with working section collection; returns the exit code."""
    with tempfile.TemporaryDirectory() as scratch:
        script = default_script(command, os.path.join(scratch, "probe.exe"))
        if script is None or "    KEEP(*(.pdata*))" not in script or "    KEEP(*(.xdata*))" not in script:
            return subprocess.call(command)
        # Unwind tables no root: what remains reachable is the code the program uses.
        collectable = script.replace("KEEP(*(.pdata*))", "*(.pdata*)").replace("KEEP(*(.xdata*))", "*(.xdata*)")
        probe = output_replaced(command, os.path.join(scratch, "probe.exe"))
        map_path = os.path.join(scratch, "probe.map")
        _, out = link(probe, collectable, scratch, ["-Wl,--noinhibit-exec", f"-Wl,-Map,{map_path}"])
        removed = removed_code(out)
        with open(map_path, encoding="utf-8", errors="replace") as handle:
            unwind = unwind_sections(handle.read())
        for _ in range(MAX_ROUNDS):
            code, out = link(command, pruned_script(script, unwind, removed), scratch, [])
            if code != 0:
                sys.stdout.write(out)
                return code
            still_removed = removed_code(out)
            if still_removed == removed:
                sys.stdout.write("".join(line + "\n" for line in out.splitlines() if "removing unused section" not in line))
                return 0
            removed = still_removed
        sys.stderr.write("unwind_gc_link: the set of unused functions did not settle\n")
        return 1


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
