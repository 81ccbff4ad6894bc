// The console and quiet switches of the application launcher's command line.
#pragma once

#include "command_line.h"
#include "launcher.h"

namespace zendra {

// Walks the arguments for "-q", "-c" (property 154) and "-console" (properties 154 or 156):
// quiet switches send errors to standard error, console switches attach or allocate a
// console. A "-c" that gets no console shows a box and ends the process with exit code 1.
// The switches stay in the list. Systems without consoles to attach (Linux) ignore "-c"
// and "-console".
void applyConsoleSwitches(Launcher& l, const ArgumentList& args);

}  // namespace zendra
