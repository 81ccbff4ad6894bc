// The command words at work: registering, removing, starting, stopping and querying the
// service through the service control manager, with one-line results on standard output.
#pragma once

#include <string>

#include "launcher.h"
#include "platform_service.h"
#include "service_command.h"

namespace zendra::service {

// Exit codes of the command words.
inline constexpr int kCommandDone = 0;
inline constexpr int kCommandFailed = 1;
inline constexpr int kStatusNotRunning = 3;

// Runs a command for the service name (the command's own, else property 101) after the
// common start-up; returns the exit code.
int runCommand(Launcher& l, ServiceControl& control, const Command& command);

}  // namespace zendra::service
