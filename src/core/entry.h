// The program flows that the thin executable entries call.
#pragma once

#include <string>

#include "command_line.h"
#include "platform.h"

namespace zendra {

// The application launcher; commandLine is the whole UTF-16 command line, rawTail the
// 8-bit text after the program name, showCommand the show command the process received,
// arguments the split command line when the system hands it split (else commandLine is split).
// Returns the exit code.
int appLauncherMain(Platform& platform, const std::u16string& commandLine, const std::string& rawTail,
                    int showCommand = 1, const ArgumentList* arguments = nullptr);

// The installer launcher; as appLauncherMain.
int setupLauncherMain(Platform& platform, const std::u16string& commandLine, const std::string& rawTail);

}  // namespace zendra
