// Entry of the application launcher (Windows GUI program).
#include "command_line.h"
#include "entry.h"
#include "win32.h"
#include "win_platform.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int showCommand) {
    try {
        zendra::win::WinPlatform& system = zendra::win::processPlatform();
        const zendra::win::EntryCommandLine arguments = zendra::win::currentCommandLine(system.codec());
        return zendra::appLauncherMain(system.platform(), arguments.commandLine, arguments.rawTail, showCommand);
    } catch (...) {
        return 1;
    }
}
