#include "logger.h"

#include <cstdarg>
#include <cstdio>
#include <vector>

namespace zendra {
namespace {

std::string formatList(const char* format, va_list args) {
    va_list copy;
    va_copy(copy, args);
    char small[512];
    int needed = std::vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (needed < 0) return {};
    if (static_cast<std::size_t>(needed) < sizeof small) return std::string(small, static_cast<std::size_t>(needed));
    std::vector<char> big(static_cast<std::size_t>(needed) + 1);
    std::vsnprintf(big.data(), big.size(), format, args);
    return std::string(big.data(), static_cast<std::size_t>(needed));
}

}  // namespace

void Logger::message(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = formatList(format, args);
    va_end(args);
    write(false, text);
}

void Logger::error(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = formatList(format, args);
    va_end(args);
    write(true, text);
}

std::string formatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = formatList(format, args);
    va_end(args);
    return text;
}

}  // namespace zendra
