// The rule for the names of included files: they stay ordinary files in the per-run directory.
#pragma once

#include <string_view>

namespace zendra {

// Why an included file's name would reach outside the per-run directory (a ".." part, a
// drive or stream colon, a leading separator) or reach a device (a part named like CON,
// NUL, COM1, with any extension); nullptr when the name stays an ordinary file inside.
const char* unsafeIncludedName(std::string_view name);

}  // namespace zendra
