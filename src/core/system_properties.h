// The system properties through which the launcher tells the Java side about this run.
#pragma once

#include <string>
#include <vector>

#include "launcher.h"

namespace zendra {

// The "-D" options that come first in the VM option list, in their fixed order:
// zendra.semaphoreName, zendra.manualJre, zendra.isQuillon, zendra.isService (each only when
// it applies), zendra.moduleName, sun.java.command, zendra.processCommFile (single-instance
// mode only), zendra.tempDir, zendra.unextractedPosition, java.library.path (from PATH) and,
// unless MANPATH is set, zendra.consoleCodepage.
std::vector<std::string> launcherSystemProperties(Launcher& l);

}  // namespace zendra
