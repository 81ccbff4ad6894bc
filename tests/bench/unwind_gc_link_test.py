#!/usr/bin/env python3
"""The x64 link wrapper's reading of linker output and the script it writes: which unwind
entries it keeps, which it discards, and file names the linker prints in unusual shapes."""

import os
import sys
import unittest

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "cmake"))
import unwind_gc_link as wrapper  # noqa: E402

GC_OUTPUT = """\
ld: removing unused section '.text$_Z4deadv' in file 'obj/a.obj'
ld: removing unused section '.text$_Z6inlinev[_Z6inlinev]' in file 'lib/libx.a(b.obj)'
ld: removing unused section '.text.unlikely._Z4coldv' in file 'obj/a.obj'
ld: removing unused section '.rdata$_Z4datav' in file 'obj/a.obj'
ld: removing unused section '.text' in file 'my dir/libk.a(s0.o)'
"""

LINK_MAP = """\
Discarded input sections
 .pdata$_Z6othersv
                0x0000000000000000        0xc obj/a.obj
Linker script and memory map
.pdata          0x0000000140043000     0x3800
 .pdata         0x0000000140043000       0x54 crt2u.o
 .pdata$_Z4deadv
                0x000000014004306c        0xc obj/a.obj
 .pdata$_Z4livev
                0x0000000140043078        0xc obj/a.obj
 .xdata$_Z4deadv
                0x0000000140044000        0x8 obj/a.obj
 .pdata         0x0000000140043084        0xc my dir/libk.a(s0.o)
"""

SCRIPT = """\
SECTIONS
{
  .text : { *(.text) }
  .pdata BLOCK(__section_alignment__) :
  {
    KEEP(*(.pdata*))
  }
  .xdata BLOCK(__section_alignment__) :
  {
    KEEP(*(.xdata*))
  }
}
"""


class ReadingTest(unittest.TestCase):
    def test_removed_code_sections(self):
        self.assertEqual(wrapper.removed_code(GC_OUTPUT), {
            (".text$_Z4deadv", "obj/a.obj"),
            (".text$_Z6inlinev", "lib/libx.a(b.obj)"),
            (".text.unlikely._Z4coldv", "obj/a.obj"),
            (".text", "my dir/libk.a(s0.o)"),
        })

    def test_unwind_sections_of_the_output_only(self):
        self.assertEqual(wrapper.unwind_sections(LINK_MAP), {
            (".pdata", "crt2u.o"),
            (".pdata$_Z4deadv", "obj/a.obj"),
            (".pdata$_Z4livev", "obj/a.obj"),
            (".xdata$_Z4deadv", "obj/a.obj"),
            (".pdata", "my dir/libk.a(s0.o)"),
        })

    def test_file_patterns(self):
        for printed, pattern in [
            ("obj/a.obj", "obj/a.obj"),
            ("lib/libx.a(b.obj)", "lib/libx.a:b.obj"),
            ("my dir/libk.a(s0.o)", "my?dir/libk.a:s0.o"),
            ("/home/zoë/a.obj", "/home/zo?/a.obj"),
        ]:
            self.assertEqual(wrapper.file_pattern(printed), pattern)


class ScriptTest(unittest.TestCase):
    def test_dead_entries_discarded_live_ones_kept(self):
        unwind = wrapper.unwind_sections(LINK_MAP)
        script = wrapper.pruned_script(SCRIPT, unwind, wrapper.removed_code(GC_OUTPUT))
        discard = script[script.index("/DISCARD/"):script.index("  .pdata ")]
        kept = script[script.index("  .pdata "):]
        self.assertIn("obj/a.obj(.pdata$_Z4deadv .xdata$_Z4deadv)", discard)
        self.assertIn("my?dir/libk.a:s0.o(.pdata)", discard)
        self.assertNotIn("_Z4livev", discard)
        self.assertIn("KEEP(obj/a.obj(.pdata$_Z4livev))", kept)
        self.assertIn("KEEP(crt2u.o(.pdata))", kept)
        self.assertNotIn("KEEP(*(", kept)
        self.assertNotIn("_Z4deadv", kept)


if __name__ == "__main__":
    unittest.main()
