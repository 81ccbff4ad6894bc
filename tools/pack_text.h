// Text conversions of the packaging tool: UTF-8 in JSON, UTF-16 in messages, hex for raw bytes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace zendra::pack {

// UTF-16 of well-formed UTF-8 text; nullopt when text is not well-formed UTF-8.
std::optional<std::u16string> utf8ToUtf16(std::string_view text);

// UTF-8 of UTF-16 text; an unpaired surrogate becomes U+FFFD and sets replaced.
std::string utf16ToUtf8(std::u16string_view text, bool& replaced);

// Whether text is well-formed UTF-8.
bool isUtf8(std::string_view text);

// Lower-case hex digits of the bytes.
std::string toHex(std::string_view bytes);

// The bytes of an even-length hex text (either case); nullopt when malformed.
std::optional<std::string> fromHex(std::string_view hex);

}  // namespace zendra::pack
