#include "text_format.h"

#include <cstdio>
#include <vector>

namespace zendra {
namespace {

constexpr std::string_view kFlags = "-+ #0'";

// Copies the digits or star of a width or precision from format[i]; returns the index after them.
std::size_t copyNumber(std::string_view format, std::size_t i, std::string& out) {
    if (i < format.size() && format[i] == '*') {
        out += '*';
        return i + 1;
    }
    while (i < format.size() && format[i] >= '0' && format[i] <= '9') out += format[i++];
    return i;
}

// Copies the length modifier at format[i] in the system runtime's spelling; returns the index after it.
std::size_t copyLength(std::string_view format, std::size_t i, std::string& out) {
    const std::string_view rest = format.substr(i);
    if (rest.starts_with("hh")) return out += 'h', i + 2;
    if (rest.starts_with("ll")) return out += "I64", i + 2;
    if (rest.starts_with("I64") || rest.starts_with("I32")) return out += rest.substr(0, 3), i + 3;
    if (rest.empty()) return i;
    switch (rest.front()) {
    case 'j': return out += "I64", i + 1;
    case 'z':
    case 't': return out += 'I', i + 1;
    case 'h':
    case 'l':
    case 'L':
    case 'I': return out += rest.front(), i + 1;
    default: return i;
    }
}

}  // namespace

std::string systemRuntimeFormat(std::string_view format) {
    std::string out;
    out.reserve(format.size() + 8);
    std::size_t i = 0;
    while (i < format.size()) {
        const char c = format[i++];
        out += c;
        if (c != '%' || i >= format.size()) continue;
        for (; i < format.size() && kFlags.find(format[i]) != std::string_view::npos; ++i)
            if (format[i] != '\'') out += format[i];  // digit grouping: the system runtime has none
        i = copyNumber(format, i, out);
        if (i < format.size() && format[i] == '.') {
            out += '.';
            i = copyNumber(format, i + 1, out);
        }
        i = copyLength(format, i, out);
        if (i >= format.size()) break;
        const char conversion = format[i++];
        out += conversion == 'a' ? 'e' : conversion == 'A' ? 'E' : conversion == 'F' ? 'f' : conversion;
    }
    return out;
}

#if defined(_WIN32)

// The system runtime's formatter: the C99 one of the MinGW runtime is more than 20 KiB.
std::string formatTextList(const char* format, va_list args) {
    const std::string native = systemRuntimeFormat(format);
    va_list measure;
    va_copy(measure, args);
    const int length = _vscprintf(native.c_str(), measure);
    va_end(measure);
    if (length <= 0) return {};
    std::vector<char> text(static_cast<std::size_t>(length) + 1);
    const int written = _vsnprintf(text.data(), text.size(), native.c_str(), args);
    return std::string(text.data(), static_cast<std::size_t>(written < 0 ? 0 : written));
}

#else

std::string formatTextList(const char* format, va_list args) {
    va_list measure;
    va_copy(measure, args);
    const int length = std::vsnprintf(nullptr, 0, format, measure);
    va_end(measure);
    if (length <= 0) return {};
    std::vector<char> text(static_cast<std::size_t>(length) + 1);
    std::vsnprintf(text.data(), text.size(), format, args);
    return std::string(text.data(), static_cast<std::size_t>(length));
}

#endif

}  // namespace zendra
