#include "included_names.h"

#include <algorithm>
#include <string>

namespace zendra {
namespace {

// Whether a path part names a parent: two or more dots, with only dots and spaces
// (the system drops trailing dots and spaces of a part).
bool isParentPart(std::string_view part) {
    return part.find("..") != std::string_view::npos &&
           std::all_of(part.begin(), part.end(), [](char c) { return c == '.' || c == ' '; });
}

}  // namespace

// Whether a path part names a Windows device (CON, PRN, AUX, NUL, COM1-9, LPT1-9, CONIN$,
// CONOUT$), which the system opens in place of a file whatever extension follows.
bool isDevicePart(std::string_view part) {
    std::string stem(part.substr(0, part.find('.')));
    while (!stem.empty() && stem.back() == ' ') stem.pop_back();
    for (char& c : stem)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    if (stem == "CON" || stem == "PRN" || stem == "AUX" || stem == "NUL" || stem == "CONIN$" || stem == "CONOUT$")
        return true;
    if (stem.size() != 4 || (stem.compare(0, 3, "COM") != 0 && stem.compare(0, 3, "LPT") != 0)) return false;
    // 1 to 9, and the superscript digits the ANSI code page has (the system counts them too).
    const auto digit = static_cast<unsigned char>(stem[3]);
    return (digit >= '1' && digit <= '9') || digit == 0xB9 || digit == 0xB2 || digit == 0xB3;
}

const char* unsafeIncludedName(std::string_view name) {
    if (name.empty()) return "empty name";
    if (name.front() == '\\' || name.front() == '/') return "leading separator";
    if (name.find(':') != std::string_view::npos) return "drive or stream name";
    std::size_t start = 0;
    while (start <= name.size()) {
        std::size_t end = name.find_first_of("\\/", start);
        if (end == std::string_view::npos) end = name.size();
        if (isParentPart(name.substr(start, end - start))) return "parent directory reference";
        if (isDevicePart(name.substr(start, end - start))) return "device name";
        start = end + 1;
    }
    return nullptr;
}

}  // namespace zendra
