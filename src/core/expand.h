// Expansion of the launcher's variables and of environment references in configured texts.
#pragma once

#include <string>

#include "launcher.h"

namespace zendra {

// Replaces the launcher's fixed variable patterns, then "${NAME}" references to environment
// variables (exact or all-upper-case spelling), logging each replacement.
void expandVariables(Launcher& l, std::string& text);

}  // namespace zendra
