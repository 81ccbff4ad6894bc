// The service launcher's program flow: a command word, the service role or the worker role.
#pragma once

#include <string>

#include "platform.h"
#include "platform_service.h"

namespace zendra {

// The service launcher; commandLine is the whole UTF-16 command line, rawTail the 8-bit
// text after the program name. Returns the exit code.
int serviceLauncherMain(Platform& platform, ServiceControl& control, const std::u16string& commandLine,
                        const std::string& rawTail);

}  // namespace zendra
