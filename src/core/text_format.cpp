#include "text_format.h"

#include <cstdio>

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

namespace {

// The formatted text in buffer and its length; -1 when it does not fit in `size` bytes with its
// terminator. On Windows the system runtime's formatter (MinGW's C99 one is more than 20 KiB).
int formatInto(char* buffer, std::size_t size, const char* format, va_list args) {
#if defined(_WIN32)
    const int length = _vsnprintf(buffer, size, format, args);
#else
    const int length = std::vsnprintf(buffer, size, format, args);
#endif
    return length >= 0 && static_cast<std::size_t>(length) < size ? length : -1;
}

// The length of the formatted text; negative when it cannot be formatted.
int measure(const char* format, va_list args) {
#if defined(_WIN32)
    return _vscprintf(format, args);
#else
    return std::vsnprintf(nullptr, 0, format, args);
#endif
}

}  // namespace

std::string formatTextList(const char* format, va_list args) {
#if defined(_WIN32)
    const std::string native = systemRuntimeFormat(format);
    format = native.c_str();
#endif
    // One pass for the usual short line; a long one is measured first.
    char small[512];
    va_list attempt;
    va_copy(attempt, args);
    const int fitted = formatInto(small, sizeof small, format, attempt);
    va_end(attempt);
    if (fitted >= 0) return std::string(small, static_cast<std::size_t>(fitted));
    va_list measured;
    va_copy(measured, args);
    const int length = measure(format, measured);
    va_end(measured);
    if (length <= 0) return {};
    std::string text(static_cast<std::size_t>(length), '\0');
    formatInto(text.data(), text.size() + 1, format, args);  // the terminator goes where the string keeps its own
    return text;
}

}  // namespace zendra
