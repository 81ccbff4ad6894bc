#include "logger.h"

#include <cstdarg>

#include "text_format.h"

namespace zendra {

void Logger::message(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = formatTextList(format, args);
    va_end(args);
    write(false, text);
}

void Logger::error(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = formatTextList(format, args);
    va_end(args);
    write(true, text);
}

std::string formatText(const char* format, ...) {
    va_list args;
    va_start(args, format);
    std::string text = formatTextList(format, args);
    va_end(args);
    return text;
}

}  // namespace zendra
