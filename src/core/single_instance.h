// Single-instance mode: one running instance per executable, later starts hand their
// arguments over to it.
#pragma once

#include <string>
#include <string_view>

#include "command_line.h"
#include "launcher.h"

namespace zendra {

// Returns when this process may go on; a second instance that handed its arguments over
// ends the process with exit code 0. modeFromProperty false forces single-instance mode.
// The handed-over text comes from l.commandLine (the raw command line); args is unused.
void checkSingleInstance(Launcher& l, bool modeFromProperty, bool handOver, const ArgumentList& args);

// Whether the running instance still holds the instance semaphore (also true when the
// semaphore cannot be opened at all); a semaphore this call created is closed again.
bool isMainInstanceAlive(Launcher& l);

// The argument text of a raw command line: what follows the program name (quoted or not)
// and the spaces behind it, quoting unchanged; empty when nothing follows.
std::u16string handOverArgumentText(std::u16string_view commandLine);

}  // namespace zendra
