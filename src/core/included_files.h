// Files appended behind the configuration record, extracted into the per-run directory.
#pragma once

#include <cstdint>
#include <string>

#include "launcher.h"

namespace zendra {

// Extracts the included files (into a new per-run directory when createDirectory is set);
// 0 on success, else the copy error of the failing file (1 read, 2 write).
int extractIncludedFiles(Launcher& l, bool createDirectory);

// Extracts the entry at source's position (length, then masked data) into target;
// 0 on success, else the copy error. A target that cannot be created is fatal.
int extractIncludedFile(Launcher& l, File& source, const std::string& target);

// Copies count bytes in 8192-byte chunks, unmasking them when descramble is set;
// 0 on success, 1 on a failed or empty read, 2 on a failed write.
int copyDescrambled(Launcher& l, File& source, File& target, std::int64_t count, bool descramble);

}  // namespace zendra
