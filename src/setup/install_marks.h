// The registry marks of an installer run: "InstallStarted" while a run is in progress, and
// the per-process value while this process waits for the installer's window.
#pragma once

#include <cstdint>
#include <string>

#include "launcher.h"

namespace zendra::setup {

// The key of the marks under the current user's hive.
inline constexpr const char* kMarksKey = "SOFTWARE\\orvane-labs\\zendra\\";
// The global mark's value name.
inline constexpr const char* kInstallStarted = "InstallStarted";

// What the combined operation does to a mark.
enum class MarkChange { Set, Clear };

// The per-process value name: "InstallStarted_<pid>".
std::string perProcessMarkName(std::uint32_t processId);

// Writes 1 (creating the key when needed).
void setMark(Launcher& l, const std::string& name);

// Deletes the value; nothing when the key or the value is missing.
void clearMark(Launcher& l, const std::string& name);

// The value as a 4-byte number; 0 when missing.
std::uint32_t readMark(Launcher& l, const std::string& name);

// Sets or clears the per-process and/or the global mark; nothing at all in a language restart.
void mark(Launcher& l, MarkChange change, bool perProcess, bool global);

}  // namespace zendra::setup
