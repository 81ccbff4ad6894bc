// Consoles and the top-level windows of processes.
#pragma once

#include <cstdint>
#include <string_view>

#include "launcher.h"

namespace zendra {

// The process's own console window, looked up once per process by retitling the console;
// nullptr for a GUI executable, without a console, or when no window carries the title.
WindowRef findConsoleWindow(Launcher& l);

// Brings every visible top-level window of the process to the front (restoring minimised
// ones when restore is set).
void activateProcessWindows(Launcher& l, std::uint32_t processId, bool restore);

// Number of visible top-level windows of the process, its console window excepted.
int countProcessWindows(Launcher& l, std::uint32_t processId);

// Attaches to the parent's console or allocates one; true when the process has a console.
bool attachConsole(Launcher& l);

// Waits, then asks the system to restart.
void rebootSystem(Launcher& l);

// Whether the argument text of the command line (everything after the program name) is
// exactly the restart request "__qln_reboot".
bool isRebootRequest(std::string_view argumentText);

}  // namespace zendra
