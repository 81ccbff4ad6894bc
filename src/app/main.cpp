// Entry of the application launcher (Windows GUI program).
#include "command_line.h"
#include "entry.h"
#include "guard.h"
#include "win32.h"
#include "win_platform.h"

ZENDRA_EXTERNAL int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int showCommand) {
    ZENDRA_TRY {
        zendra::win::WinPlatform& system = zendra::win::processPlatform();
        const zendra::win::EntryCommandLine arguments = zendra::win::currentCommandLine(system.codec());
        return zendra::appLauncherMain(system.platform(), arguments.commandLine, arguments.rawTail, showCommand);
    } ZENDRA_CATCH_ALL {
        return 1;
    }
}
