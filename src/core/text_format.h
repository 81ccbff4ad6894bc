// printf-style formatting with the C runtime the launcher runs on.
#pragma once

#include <cstdarg>
#include <string>
#include <string_view>

#include "logger.h"

namespace zendra {

// The text of a printf-style format and its arguments (C99 conversions).
ZENDRA_EXTERNAL std::string formatTextList(const char* format, va_list args);

// `format` with its C99 length modifiers spelt the way the Windows system C runtime reads them
// ("ll" and "j" as "I64", "z" and "t" as "I", "hh" as "h"; hexadecimal floats as exponent form).
std::string systemRuntimeFormat(std::string_view format);

}  // namespace zendra
