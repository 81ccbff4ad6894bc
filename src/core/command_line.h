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

// The inverse of splitCommandLine for a list of arguments: each one that is empty or holds a
// space or a quote is wrapped in double quotes (single quotes when it holds a double quote).
// An argument holding both kinds of quote cannot be written so that it splits back unchanged.
std::u16string joinCommandLine(const ArgumentList& arguments);

// splitCommandLine, each token converted to the ANSI code page.
void splitCommandLineNarrow(std::u16string_view text, std::vector<std::string>& out, TextCodec& codec);

// Splits ANSI text (at most 8191 characters are taken) into ANSI tokens.
void splitNarrowCommandLine(std::string_view text, std::vector<std::string>& out, TextCodec& codec);

}  // namespace zendra
