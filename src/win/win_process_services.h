// The running process: module file name, path forms, locale, child processes and exit.
#pragma once

#include "platform.h"

namespace zendra::win {

// The ProcessServices of the portable core. Functions that older systems lack
// (GetLongPathNameW, GetUserDefaultUILanguage) are looked up in Kernel32.DLL by name.
class WinProcessServices final : public ProcessServices {
public:
    // GetModuleFileNameW of the executable, without length limit.
    std::u16string moduleFileNameW() override;
    // GetModuleFileNameA of the executable, without length limit.
    std::string moduleFileNameA() override;
    // Whether Kernel32.DLL exports GetLongPathNameW.
    bool hasWideLongPath() override;
    // GetLongPathNameW (looked up at run time); nullopt when missing or failing.
    std::optional<std::u16string> longPathNameW(const std::u16string& path) override;
    // GetShortPathNameW; nullopt on failure.
    std::optional<std::u16string> shortPathNameW(const std::u16string& path) override;
    // GetUserDefaultLCID.
    std::uint32_t userDefaultLcid() override;
    // GetUserDefaultUILanguage (looked up at run time); nullopt when missing.
    std::optional<std::uint16_t> userDefaultUiLanguage() override;
    // CreateProcessA inheriting handles, normal priority, not waiting.
    bool startProcess(const std::string& commandLine, std::uint32_t& error) override;
    // GetCurrentProcessId.
    std::uint32_t currentProcessId() override;
    // GetConsoleOutputCP.
    std::uint32_t consoleOutputCodePage() override;
    // CreateProcessA hidden, inheriting handles: no standard input or output, standard error
    // into a new shared file when given (the child runs without one when it cannot be
    // created). Waits timeoutMs; a child still running then is terminated with exit code 1
    // and reported with exit code 259 (STILL_ACTIVE) and terminated set.
    ChildRun runHidden(const std::string& commandLine, const std::optional<std::string>& stderrFile,
                       std::uint32_t timeoutMs) override;
    // Runs handler from the C runtime's exit list (std::atexit), latest first.
    void atNormalExit(std::function<void()> handler) override;
    // ExitProcess.
    [[noreturn]] void exitProcess(int code) override;
};

}  // namespace zendra::win
