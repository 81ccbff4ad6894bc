// Small helpers for the UTF-16 text the launcher handles (commands lines, messages).
#pragma once

#include <string>
#include <string_view>

namespace zendra {

// Widens ASCII text code unit by code unit (for literals and 7-bit data only).
std::u16string asciiToU16(std::string_view text);

// Narrows UTF-16 code units below 0x80 unchanged, others to "?" (for logging ASCII data).
std::string u16ToAscii(std::u16string_view text);

// Whether text begins with prefix.
bool startsWith(std::u16string_view text, std::u16string_view prefix);

// Whether text begins with prefix.
bool startsWith(std::string_view text, std::string_view prefix);

// Whether text ends with suffix, comparing ASCII letters without regard to case.
bool endsWithIgnoreCase(std::string_view text, std::string_view suffix);

}  // namespace zendra
