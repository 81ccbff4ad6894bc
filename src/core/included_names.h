// The rule for the names of included files: they stay ordinary files in the per-run directory.
#pragma once

#include <string_view>

namespace zendra {

// Why an included file's name would reach outside the per-run directory (a ".." part, a
// drive or stream colon, a leading separator) or reach a device (a part named like CON,
// NUL, COM1, with any extension); nullptr when the name stays an ordinary file inside.
const char* unsafeIncludedName(std::string_view name);

// Whether one path part names a Windows device (CON, NUL, COM1, superscript port digits too,
// any extension and trailing blanks), in the bytes of the ANSI code page.
bool isDevicePart(std::string_view part);

}  // namespace zendra
