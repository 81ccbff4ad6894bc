#include "entry_names.h"

#include <array>

#include "included_files.h"

namespace zendra::setup {
namespace {

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

bool equalsUpper(std::string_view text, std::string_view upperWord) {
    if (text.size() != upperWord.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (upper(text[i]) != upperWord[i]) return false;
    }
    return true;
}

// The digits that follow COM and LPT in device names: 1 to 9, and the superscripts 1, 2, 3
// of the Latin-1 code page, which the system treats alike.
bool isPortDigit(char c) {
    const auto u = static_cast<unsigned char>(c);
    return (c >= '1' && c <= '9') || u == 0xB9 || u == 0xB2 || u == 0xB3;
}

}  // namespace

bool isDeviceName(std::string_view part) {
    std::string_view base = part.substr(0, part.find('.'));
    while (!base.empty() && base.back() == ' ') base.remove_suffix(1);
    static constexpr std::array<std::string_view, 6> kNames{"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
    for (const std::string_view name : kNames) {
        if (equalsUpper(base, name)) return true;
    }
    return base.size() == 4 && (equalsUpper(base.substr(0, 3), "COM") || equalsUpper(base.substr(0, 3), "LPT")) &&
           isPortDigit(base[3]);
}

CheckedName checkEntryName(const PathConventions& conventions, std::string_view name) {
    CheckedName checked;
    if (name.empty()) return checked;
    if (const char* reason = unsafeIncludedName(name)) {
        checked.refusal = reason;
        return checked;
    }
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = name.size();
        const std::string_view part = name.substr(start, end - start);
        start = end + 1;
        if (part.empty() || part == ".") continue;
        if (isDeviceName(part)) {
            checked.refusal = "device name";
            checked.path.clear();
            return checked;
        }
        if (!checked.path.empty()) checked.path += conventions.separator;
        checked.path += part;
    }
    return checked;
}

}  // namespace zendra::setup
