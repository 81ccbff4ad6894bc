// The service role: the process the service control manager starts. It registers with the
// manager, runs the application in a worker child (this program again, with a marker
// argument), relays stop and shutdown requests to the worker's standard input and reports
// the service stopped once the worker has ended.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "command_line.h"
#include "launcher.h"
#include "platform_service.h"

namespace zendra::service {

// The argument that marks the worker child; the last one of its command line.
inline constexpr char16_t kWorkerMarker[] = u"__qln_restart";

// The registry key (local machine) whose value named after the service holds the worker's
// priority class.
inline constexpr char kPriorityKey[] = "SOFTWARE\\orvane-labs\\zendra\\priority";

// The priority class of a worker without a configured one (normal).
inline constexpr std::uint32_t kNormalPriorityClass = 0x20;

// The worker's command line: the program and the service name, this process's further
// arguments, the start arguments after the first, and the marker; quoted where needed so
// that the worker splits it back into the same pieces.
std::u16string workerCommandLine(const ArgumentList& arguments, const std::u16string& serviceName,
                                 const std::vector<std::u16string>& startArguments);

// Runs the service dispatcher for the service name (property 101); arguments is this
// process's split command line. Returns the exit code (0) once the service has stopped or
// the dispatcher could not connect.
int runServiceRole(Launcher& l, ServiceControl& control, const ArgumentList& arguments);

}  // namespace zendra::service
