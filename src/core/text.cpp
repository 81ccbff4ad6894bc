#include "text.h"

namespace zendra {
namespace {

template <class Char>
std::basic_string<Char> joined(std::initializer_list<std::basic_string_view<Char>> pieces) {
    std::size_t size = 0;
    for (auto piece : pieces) size += piece.size();
    std::basic_string<Char> out;
    out.reserve(size);
    for (auto piece : pieces) out.append(piece);
    return out;
}

}  // namespace

std::string concat(std::initializer_list<std::string_view> pieces) { return joined(pieces); }

std::u16string concat(std::initializer_list<std::u16string_view> pieces) { return joined(pieces); }

std::u16string asciiToU16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    for (char c : text) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
    return out;
}

std::string u16ToAscii(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (char16_t c : text) out.push_back(c < 0x80 ? static_cast<char>(c) : '?');
    return out;
}

bool startsWith(std::u16string_view text, std::u16string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool endsWithIgnoreCase(std::string_view text, std::string_view suffix) {
    if (text.size() < suffix.size()) return false;
    std::string_view tail = text.substr(text.size() - suffix.size());
    for (std::size_t i = 0; i < tail.size(); ++i) {
        char a = tail[i], b = suffix[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (b >= 'A' && b <= 'Z') b = static_cast<char>(b - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}

}  // namespace zendra
