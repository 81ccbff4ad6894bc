// Single-instance mode: one running instance per executable, later starts hand their
// arguments over to it.
#pragma once

#include "command_line.h"
#include "launcher.h"

namespace zendra {

// Returns when this process may go on; a second instance that handed its arguments over
// ends the process with exit code 0. modeFromProperty false forces single-instance mode.
void checkSingleInstance(Launcher& l, bool modeFromProperty, bool handOver, const ArgumentList& args);

}  // namespace zendra
