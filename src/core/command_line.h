// The launcher's own command-line tokenizer.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform.h"

namespace zendra {

// Owned UTF-16 tokens; for a process command line element 0 is the program as written.
using ArgumentList = std::vector<std::u16string>;

// Appends the tokens of text: spaces separate, double and single quotes quote, no escapes.
void splitCommandLine(std::u16string_view text, ArgumentList& out);

// splitCommandLine, each token converted to the ANSI code page.
void splitCommandLineNarrow(std::u16string_view text, std::vector<std::string>& out, TextCodec& codec);

// Splits ANSI text (at most 8191 characters are taken) into ANSI tokens.
void splitNarrowCommandLine(std::string_view text, std::vector<std::string>& out, TextCodec& codec);

}  // namespace zendra
