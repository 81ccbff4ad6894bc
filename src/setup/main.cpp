// Entry of the installer launcher (Windows GUI program).
#include "command_line.h"
#include "guard.h"
#include "setup_flow.h"
#include "win32.h"
#include "win_hashing.h"
#include "win_installer.h"
#include "win_internet.h"
#include "win_platform.h"

ZENDRA_EXTERNAL int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int showCommand) {
    ZENDRA_TRY {
        zendra::win::WinPlatform& system = zendra::win::processPlatform();
        const zendra::win::EntryCommandLine arguments = zendra::win::currentCommandLine(system.codec());
        static zendra::win::WinInstallerUi ui;
        static zendra::win::WinInternetClient internet;
        static zendra::win::WinHashing hashing;
        static zendra::setup::DownloadServices download{internet, hashing};
        zendra::Launcher& launcher = zendra::setup::processLauncher(system.platform());
        return zendra::setup::setupLauncherMain(launcher, ui, download, arguments.commandLine, arguments.rawTail,
                                                showCommand);
    } ZENDRA_CATCH_ALL {
        return 1;
    }
}
