// Obtaining a Java runtime when the installer carries none and none is installed: the
// question to the user, or a download without asking.
#pragma once

#include <string>

#include "installer_ui.h"
#include "setup_flow.h"

namespace zendra::setup {

// The download flow: logs the location, asks the user unless the configuration says to
// download without asking, and downloads "jre.tar.gz" into the working directory. True when
// the archive was downloaded (the run then treats it as included), false when the user
// located a runtime by hand (already loaded). Cancel and failures end the process.
bool downloadJre(SetupRun& run, ProgressDialog* dialog);

// Downloads location into "jre.tar.gz" in the current directory, with the status line on the
// dialog if there is one; returns only on success (failures end the process).
void fetchJre(SetupRun& run, ProgressDialog* dialog, const std::string& location);

}  // namespace zendra::setup
