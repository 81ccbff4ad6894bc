// Entry of the service launcher (console program).
#include "command_line.h"
#include "entry.h"
#include "win32.h"
#include "win_platform.h"

int wmain(int, wchar_t**) {
    try {
        zendra::win::WinPlatform& system = zendra::win::processPlatform();
        const zendra::win::EntryCommandLine arguments = zendra::win::currentCommandLine(system.codec());
        return zendra::serviceLauncherMain(system.platform(), arguments.commandLine, arguments.rawTail);
    } catch (...) {
        return 1;
    }
}
