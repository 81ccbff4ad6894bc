// Small helpers for the UTF-16 text the launcher handles (commands lines, messages).
#pragma once

#include <initializer_list>
#include <string>
#include <string_view>

namespace zendra {

// The pieces one after another, made in one allocation: concat({dir, "\\", name}). A single
// character goes in as std::string_view(&c, 1). Cheaper at each call than a chain of operator+.
std::string concat(std::initializer_list<std::string_view> pieces);

// The UTF-16 pieces one after another, made in one allocation.
std::u16string concat(std::initializer_list<std::u16string_view> pieces);

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
