// Entry of the service launcher (windowless program: a command word's lines reach the
// console of the command prompt it was started from).
#include "command_line.h"
#include "guard.h"
#include "service_launcher.h"
#include "win32.h"
#include "win_platform.h"
#include "win_service.h"

ZENDRA_EXTERNAL int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int) {
    ZENDRA_TRY {
        zendra::win::WinPlatform& system = zendra::win::processPlatform();
        zendra::win::WinServiceControl control(system.codec());
        const zendra::win::EntryCommandLine arguments = zendra::win::currentCommandLine(system.codec());
        return zendra::serviceLauncherMain(system.platform(), control, arguments.commandLine, arguments.rawTail);
    } ZENDRA_CATCH_ALL {
        return 1;
    }
}
