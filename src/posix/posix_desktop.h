// Consoles, windows and restarts on Linux: the launcher has none of them there.
#pragma once

#include "platform_desktop.h"

namespace zendra::posix {

// The Desktop of the portable core on Linux: no windows, no console calls, no restart
// (nothing is ever restarted); only the tick count and pauses are real.
class PosixDesktop final : public Desktop {
public:
    // Empty.
    std::vector<TopLevelWindow> topLevelWindows() override { return {}; }
    // false.
    bool isVisible(WindowRef /*window*/) override { return false; }
    // false.
    bool isMinimised(WindowRef /*window*/) override { return false; }
    // Nothing.
    void showRestored(WindowRef /*window*/) override {}
    // false.
    bool setForeground(WindowRef /*window*/) override { return false; }
    // nullptr.
    WindowRef lastActivePopup(WindowRef /*window*/) override { return nullptr; }
    // nullopt.
    std::optional<std::u16string> consoleTitle() override { return std::nullopt; }
    // false.
    bool setConsoleTitle(const std::u16string& /*title*/) override { return false; }
    // nullptr.
    WindowRef findWindowByTitle(const std::u16string& /*title*/) override { return nullptr; }
    // Unavailable: a Linux process keeps the terminal it was started from.
    ConsoleAttach attachParentConsole() override { return ConsoleAttach::Unavailable; }
    // false.
    bool allocateConsole() override { return false; }
    // Nothing: the standard streams stay as they are.
    void reopenStandardStreams() override {}
    // CLOCK_MONOTONIC in milliseconds (wrapping).
    std::uint32_t tickCount() override;
    // nanosleep.
    void sleep(std::uint32_t milliseconds) override;
    // false.
    bool enablePrivilege(const std::string& /*name*/) override { return false; }
    // false: the launcher never restarts a Linux system.
    bool restartSystem() override { return false; }
};

// Pauses the calling thread for the milliseconds, resuming after interruptions.
void sleepMilliseconds(std::uint32_t milliseconds);

}  // namespace zendra::posix
