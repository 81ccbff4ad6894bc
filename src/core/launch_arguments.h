// The string array that the launcher class's main receives.
#pragma once

#include <string>
#include <vector>

#include "command_line.h"
#include "launcher.h"

namespace zendra {

// The launcher class in the slash form FindClass takes, by flavour.
std::string launcherClassName(const Launcher& l);

// The arguments of main, in order: "true"/"false" for a GUI executable (property 107 = 1),
// property 122, the paths of properties 103 and 105 (empty unless 102 / 104 are set),
// "true"/"false" for property 106, element 0 of arguments (when there is one), the tokens of
// property 124, then arguments from element 1 on without the "-Dsun.locale.formatasdefault="
// ones and, when property 125 is set, without the "-J" ones.
std::vector<std::u16string> buildLaunchArguments(Launcher& l, const ArgumentList& arguments);

}  // namespace zendra
