// The running process on Linux: its executable, locale, children and end.
#pragma once

#include "platform.h"

namespace zendra::posix {

// The ProcessServices of the portable core. Command lines are Windows-style text, split by
// the core's own tokenizer; error codes are errno values (a failed exec included).
class PosixProcessServices final : public ProcessServices {
public:
    // readlink("/proc/self/exe") as UTF-16.
    std::u16string moduleFileNameW() override;
    // readlink("/proc/self/exe").
    std::string moduleFileNameA() override;
    // false: Linux has no long-path service.
    bool hasWideLongPath() override { return false; }
    // The path itself when it exists.
    std::optional<std::u16string> longPathNameW(const std::u16string& path) override;
    // The path itself when it exists.
    std::optional<std::u16string> shortPathNameW(const std::u16string& path) override;
    // getpid.
    std::uint32_t currentProcessId() override;
    // 65001 (UTF-8) when standard error or output is a terminal, else 0.
    std::uint32_t consoleOutputCodePage() override;
    // The table identifier of LC_ALL, LC_MESSAGES or LANG (0x0409 without one).
    std::uint32_t userDefaultLcid() override;
    // The same identifier.
    std::optional<std::uint16_t> userDefaultUiLanguage() override;
    // Starts the program without waiting; a background thread reaps it when it ends.
    bool startProcess(const std::string& commandLine, std::uint32_t& error) override;
    // Runs the program in its own process group, standard input and output /dev/null and
    // standard error into stderrFile (created anew; /dev/null without one or when it cannot
    // be created). At the time-out the group is killed with SIGKILL and reaped, and the run
    // reports terminated with exit code 1. A death by signal gives 128 + the signal.
    ChildRun runHidden(const std::string& commandLine, const std::optional<std::string>& stderrFile,
                       std::uint32_t timeoutMs) override;
    // Handlers run at normal exit (std::atexit), the last registered first.
    void atNormalExit(std::function<void()> handler) override;
    // Flushes the C streams and ends with _exit: exit handlers do not run.
    [[noreturn]] void exitProcess(int code) override;
};

}  // namespace zendra::posix
