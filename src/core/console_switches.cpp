#include "console_switches.h"

#include "errors.h"
#include "process_windows.h"
#include "property_ids.h"

namespace zendra {

void applyConsoleSwitches(Launcher& l, const ArgumentList& args) {
    const bool quietSwitches = l.store.getIntProperty(prop::quietSwitches) != 0;
    const bool consoleSwitch = l.store.getIntProperty(prop::consoleSwitch) != 0;
    if (!quietSwitches && !consoleSwitch) return;
    // Elsewhere a program keeps the terminal it was started from: nothing to attach.
    const bool consoles = l.os.paths().windows;
    for (const std::u16string& arg : args) {
        if (quietSwitches && arg == u"-q") {
            l.errorDisplayMode = false;
        } else if (!consoles) {
            continue;
        } else if (arg == u"-console") {
            attachConsole(l);
        } else if (quietSwitches && arg == u"-c") {
            l.errorDisplayMode = false;
            if (attachConsole(l)) return;
            l.os.ui.messageBox(nullptr, "Error: Could not allocate console.", "quillon", BoxStyle::ErrorOk);
            fatalExit(l, 1);
        }
    }
}

}  // namespace zendra
