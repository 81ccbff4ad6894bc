// Consoles and the top-level windows of processes.
#pragma once

#include <cstdint>

#include "launcher.h"

namespace zendra {

// Brings every visible top-level window of the process to the front (restoring minimised
// ones when restore is set).
void activateProcessWindows(Launcher& l, std::uint32_t processId, bool restore);

// Number of visible top-level windows of the process, its console window excepted.
int countProcessWindows(Launcher& l, std::uint32_t processId);

// Attaches to the parent's console or allocates one; true when the process has a console.
bool attachConsole(Launcher& l);

// Waits, then asks the system to restart.
void rebootSystem(Launcher& l);

}  // namespace zendra
