// The 8-bit texts of the record: the launcher reads them in the system's ANSI code page, so
// the tool converts the description's UTF-8 into the code page the description names.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zendra::pack {

// The code page when the description names none: Western European, the most common ANSI one.
inline constexpr std::uint32_t kDefaultCodePage = 1252;

// UTF-8, what the Linux edition reads its texts as.
inline constexpr std::uint32_t kUtf8CodePage = 65001;

// Whether codePage is one of Windows' ANSI code pages (874, 932, 936, 949, 950, 1250 to 1258)
// or UTF-8 (65001).
bool isAnsiCodePage(std::uint32_t codePage);

// The bytes of UTF-8 text in codePage. Throws PackError naming the first character the code
// page cannot hold (C1 control characters count as such).
std::string toCodePage(std::string_view utf8, std::uint32_t codePage);

// The UTF-8 text of bytes in codePage, when they convert back to exactly these bytes.
std::optional<std::string> fromCodePage(std::string_view bytes, std::uint32_t codePage);

// The system's converters: UTF-16 to codePage and back, nullopt when a character or byte has
// no counterpart (no best-fit replacements). One implementation per system.
std::optional<std::string> systemEncode(std::u16string_view text, std::uint32_t codePage);
std::optional<std::u16string> systemDecode(std::string_view bytes, std::uint32_t codePage);

}  // namespace zendra::pack
