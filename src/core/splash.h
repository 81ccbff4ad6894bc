// The splash screen: the launcher's own window, or the Java runtime's splash library.
#pragma once

#include <string>

#include "launcher.h"

namespace zendra {

// Starts the splash with the process's show command; returns at once.
void showSplash(Launcher& l, int showCommand);

// Hides the splash; safe at any time and from any thread.
void hideSplash(Launcher& l);

// Ends the splash thread's use of the Java VM: waits for a poll in progress, after which the
// thread makes no further VM call (not even to detach). Called before the VM is destroyed.
void stopSplashJavaCalls(Launcher& l);

// Replaces the status line and repaints; does nothing before the splash started.
void setSplashStatusText(Launcher& l, const std::u16string& text);

}  // namespace zendra
