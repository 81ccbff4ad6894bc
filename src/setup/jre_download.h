// Fetching a Java runtime when the installer carries none and none is installed.
#pragma once

#include "installer_progress.h"
#include "launcher.h"

namespace zendra::setup {

// Obtains a runtime for a run that has none; this build cannot download one, so it ends the
// process with a clear text (exit code 1).
void downloadJre(Launcher& l, InstallerProgress* dialog);

}  // namespace zendra::setup
