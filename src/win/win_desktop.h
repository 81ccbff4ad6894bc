// The Win32 implementation of the Desktop services.
#pragma once

#include "platform_desktop.h"

namespace zendra::win {

// Consoles, top-level windows of processes and the system restart, through Win32. The
// user32 functions are looked up when first needed (importing user32 slows every start);
// AttachConsole is looked up in Kernel32.DLL because older systems lack it.
class WinDesktop final : public Desktop {
public:
    // EnumWindows with GetWindowThreadProcessId; empty when user32 cannot be loaded.
    std::vector<TopLevelWindow> topLevelWindows() override;
    // IsWindowVisible.
    bool isVisible(WindowRef window) override;
    // IsIconic.
    bool isMinimised(WindowRef window) override;
    // ShowWindow with SW_RESTORE.
    void showRestored(WindowRef window) override;
    // SetForegroundWindow.
    bool setForeground(WindowRef window) override;
    // GetLastActivePopup (the window itself when that fails).
    WindowRef lastActivePopup(WindowRef window) override;
    // GetConsoleTitleW; nullopt when it returns nothing.
    std::optional<std::u16string> consoleTitle() override;
    // SetConsoleTitleW.
    bool setConsoleTitle(const std::u16string& title) override;
    // FindWindowW with no class name.
    WindowRef findWindowByTitle(const std::u16string& title) override;
    // AttachConsole(ATTACH_PARENT_PROCESS), looked up at run time; standard handles that
    // were redirected to a file or pipe are kept.
    ConsoleAttach attachParentConsole() override;
    // AllocConsole; standard handles that were redirected to a file or pipe are kept.
    bool allocateConsole() override;
    // Opens the console for every standard handle and C runtime stream that leads nowhere.
    void reopenStandardStreams() override;
    // GetTickCount.
    std::uint32_t tickCount() override;
    // Sleep.
    void sleep(std::uint32_t milliseconds) override;
    // OpenProcessToken, LookupPrivilegeValueA and AdjustTokenPrivileges.
    bool enablePrivilege(const std::string& name) override;
    // ExitWindowsEx with EWX_REBOOT.
    bool restartSystem() override;
};

}  // namespace zendra::win
