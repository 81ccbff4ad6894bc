// Files appended behind the configuration record, extracted into the per-run directory.
#pragma once

#include "launcher.h"

namespace zendra {

// Extracts the included files (into a new per-run directory when createDirectory is set);
// 0 on success, else the copy error of the failing file (1 read, 2 write).
int extractIncludedFiles(Launcher& l, bool createDirectory);

}  // namespace zendra
