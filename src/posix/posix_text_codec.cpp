#include "posix_text_codec.h"

#include <cstdint>

namespace zendra::posix {
namespace {

constexpr char16_t kReplacement = 0xFFFD;

// Appends one code point (at most U+10FFFF, no surrogate) as UTF-8.
void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (c >> 6)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (c >> 12)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (c >> 18)));
        out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

// Appends one code point as UTF-16.
void appendUtf16(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out.push_back(static_cast<char16_t>(c));
        return;
    }
    c -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
}

// The number of bytes a sequence with this lead byte has (0: not a lead byte).
int sequenceLength(std::uint8_t lead) {
    if (lead < 0x80) return 1;
    if (lead >= 0xC2 && lead <= 0xDF) return 2;
    if (lead >= 0xE0 && lead <= 0xEF) return 3;
    if (lead >= 0xF0 && lead <= 0xF4) return 4;
    return 0;
}

// The range the second byte of a sequence may take after this lead byte; the rules that
// exclude overlong forms, encoded surrogates and values above U+10FFFF.
bool secondByteValid(std::uint8_t lead, std::uint8_t second) {
    if (lead == 0xE0) return second >= 0xA0 && second <= 0xBF;
    if (lead == 0xED) return second >= 0x80 && second <= 0x9F;
    if (lead == 0xF0) return second >= 0x90 && second <= 0xBF;
    if (lead == 0xF4) return second >= 0x80 && second <= 0x8F;
    return second >= 0x80 && second <= 0xBF;
}

// Decodes the sequence at text[i]; advances i past it (or past its maximal invalid
// subpart) and returns the code point, or U+FFFD when it is ill-formed.
char32_t decodeOne(std::string_view text, std::size_t& i) {
    const auto lead = static_cast<std::uint8_t>(text[i]);
    const int length = sequenceLength(lead);
    ++i;
    if (length == 1) return lead;
    if (length == 0) return kReplacement;
    char32_t c = lead & (0xFF >> (length + 1));
    for (int k = 1; k < length; ++k) {
        if (i >= text.size()) return kReplacement;
        const auto next = static_cast<std::uint8_t>(text[i]);
        const bool valid = k == 1 ? secondByteValid(lead, next) : (next & 0xC0) == 0x80;
        if (!valid) return kReplacement;
        c = (c << 6) | (next & 0x3F);
        ++i;
    }
    return c;
}

}  // namespace

Narrowed utf16ToUtf8(std::u16string_view text) {
    Narrowed result;
    result.text.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t unit = text[i];
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            const char32_t c = 0x10000 + ((static_cast<char32_t>(unit) - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            appendUtf8(result.text, c);
            ++i;
        } else if (unit >= 0xD800 && unit <= 0xDFFF) {
            result.text.push_back('?');
            result.usedDefault = true;
        } else {
            appendUtf8(result.text, unit);
        }
    }
    return result;
}

std::u16string utf8ToUtf16(std::string_view text) {
    std::u16string result;
    result.reserve(text.size());
    for (std::size_t i = 0; i < text.size();) appendUtf16(result, decodeOne(text, i));
    return result;
}

}  // namespace zendra::posix
