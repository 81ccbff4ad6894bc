// Turning an archive entry's name into a path below the directory it is unpacked into.
#pragma once

#include <string>
#include <string_view>

#include "path_conventions.h"

namespace zendra::setup {

// An entry name checked for use below the target directory.
struct CheckedName {
    std::string path;     // relative, in the system's separators; "." parts and doubled separators dropped
    std::string refusal;  // why the name may not be used (empty when it may)
};

// Checks an entry name: a leading separator, a drive, stream or device name, or a ".." part
// would reach outside the target directory, so such names are refused. An empty path means
// the target directory itself.
CheckedName checkEntryName(const PathConventions& conventions, std::string_view name);

}  // namespace zendra::setup
