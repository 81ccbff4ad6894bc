// What a program entry hands to the launcher flows: its command line in both forms.
#pragma once

#include <string>

#include "platform.h"

namespace zendra::win {

// The UTF-16 command line and its 8-bit tail.
struct EntryCommandLine {
    std::u16string commandLine;  // the whole command line, program name included
    std::string rawTail;         // the text after the program name, in the ANSI code page
};

// The text after the program name, found as the C runtime's startup code finds it: the
// program token ends at the first space or control character outside double quotes; the
// blanks after it are skipped.
std::u16string commandTail(const std::u16string& commandLine);

// The process's command line (GetCommandLineW) and its tail converted with codec.
EntryCommandLine currentCommandLine(TextCodec& codec);

}  // namespace zendra::win
