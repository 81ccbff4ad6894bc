#include "ansi_text.h"

#include <algorithm>
#include <cstdio>

#include "pack_model.h"
#include "pack_text.h"

namespace zendra::pack {
namespace {

bool isAscii(std::string_view text) {
    return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// Whether UTF-16 text holds a C1 control character: no code page agrees on those.
bool hasC1Control(std::u16string_view text) {
    return std::any_of(text.begin(), text.end(), [](char16_t c) { return c >= 0x80 && c <= 0x9F; });
}

// text in codePage when it converts there and back unchanged.
std::optional<std::string> roundTrip(std::u16string_view text, std::uint32_t codePage) {
    if (hasC1Control(text)) return std::nullopt;
    std::optional<std::string> bytes = systemEncode(text, codePage);
    if (!bytes) return std::nullopt;
    const std::optional<std::u16string> back = systemDecode(*bytes, codePage);
    if (!back || *back != text) return std::nullopt;
    return bytes;
}

// The refusal naming the first character of text that codePage cannot hold.
PackError unwritable(std::string_view utf8, const std::u16string& text, std::uint32_t codePage) {
    std::size_t i = 0;
    std::size_t length = 1;
    for (; i < text.size(); i += length) {
        length = text[i] >= 0xD800 && text[i] <= 0xDBFF && i + 1 < text.size() ? 2 : 1;
        if (!roundTrip(std::u16string_view(text).substr(i, length), codePage)) break;
    }
    bool replaced = false;
    const std::u16string_view bad = std::u16string_view(text).substr(std::min(i, text.size()), length);
    const char32_t point = bad.size() == 2 ? 0x10000 + ((char32_t{bad[0]} - 0xD800) << 10) + (char32_t{bad[1]} - 0xDC00)
                                           : (bad.empty() ? 0 : char32_t{bad[0]});
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(point));
    return PackError("\"" + std::string(utf8) + "\" cannot be written in code page " + std::to_string(codePage) + ": " +
                     code + " \"" + utf16ToUtf8(bad, replaced) +
                     "\" has no character there (name another \"codePage\" or give the bytes as {\"hex\": ...})");
}

}  // namespace

bool isAnsiCodePage(std::uint32_t codePage) {
    return codePage == 874 || codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950 ||
           (codePage >= 1250 && codePage <= 1258) || codePage == kUtf8CodePage;
}

std::string toCodePage(std::string_view utf8, std::uint32_t codePage) {
    if (isAscii(utf8) || codePage == kUtf8CodePage) return std::string(utf8);
    const std::optional<std::u16string> text = utf8ToUtf16(utf8);
    if (!text) throw PackError("the text is not valid UTF-8");
    if (std::optional<std::string> bytes = roundTrip(*text, codePage)) return *bytes;
    throw unwritable(utf8, *text, codePage);
}

std::optional<std::string> fromCodePage(std::string_view bytes, std::uint32_t codePage) {
    if (isAscii(bytes)) return std::string(bytes);
    if (codePage == kUtf8CodePage) return isUtf8(bytes) ? std::optional<std::string>(bytes) : std::nullopt;
    const std::optional<std::u16string> text = systemDecode(bytes, codePage);
    if (!text || roundTrip(*text, codePage) != std::string(bytes)) return std::nullopt;
    bool replaced = false;
    return utf16ToUtf8(*text, replaced);
}

}  // namespace zendra::pack
