#include "posix_process_services.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <vector>

#include "posix_child.h"
#include "posix_handles.h"
#include "exit_handlers.h"
#include "posix_locale.h"
#include "posix_text_codec.h"

namespace zendra::posix {

namespace {

// The UTF-16 path as UTF-8 when it exists.
std::optional<std::u16string> existingPath(const std::u16string& path) {
    struct stat info {};
    if (path.empty() || ::lstat(utf16ToUtf8(path).text.c_str(), &info) != 0) return std::nullopt;
    return path;
}

// Opens /dev/null (or, with path, creates path anew) for a child's stream.
UniqueFd openForChild(const char* path, int flags) {
    return UniqueFd(retryOnInterrupt([&] { return ::open(path, flags | O_CLOEXEC, 0666); }));
}

}  // namespace

std::u16string PosixProcessServices::moduleFileNameW() { return utf8ToUtf16(moduleFileNameA()); }

std::string PosixProcessServices::moduleFileNameA() {
    std::string buffer(256, '\0');
    while (buffer.size() <= 1u << 20) {
        const ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) return {};
        // A result that fills the buffer completely may have been truncated.
        if (static_cast<std::size_t>(length) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(length));
            return buffer;
        }
        buffer.assign(buffer.size() * 2, '\0');
    }
    return {};
}

std::optional<std::u16string> PosixProcessServices::longPathNameW(const std::u16string& path) {
    return existingPath(path);
}

std::optional<std::u16string> PosixProcessServices::shortPathNameW(const std::u16string& path) {
    return existingPath(path);
}

std::uint32_t PosixProcessServices::currentProcessId() { return static_cast<std::uint32_t>(::getpid()); }

std::uint32_t PosixProcessServices::consoleOutputCodePage() {
    return ::isatty(STDERR_FILENO) != 0 || ::isatty(STDOUT_FILENO) != 0 ? 65001u : 0u;
}

std::uint32_t PosixProcessServices::userDefaultLcid() {
    const std::string locale = messagesLocale([](const char* name) -> std::optional<std::string> {
        const char* value = std::getenv(name);
        if (value == nullptr) return std::nullopt;
        return std::string(value);
    });
    return languageIdForLocale(locale);
}

std::optional<std::uint16_t> PosixProcessServices::userDefaultUiLanguage() {
    return static_cast<std::uint16_t>(userDefaultLcid());
}

bool PosixProcessServices::startProcess(const std::string& commandLine, std::uint32_t& error) {
    const std::optional<pid_t> pid = spawnChild(commandLineArguments(commandLine), ChildStreams{}, false, error);
    if (!pid) return false;
    reapInBackground(*pid);
    return true;
}

ChildRun PosixProcessServices::runHidden(const std::string& commandLine, const std::optional<std::string>& stderrFile,
                                         std::uint32_t timeoutMs) {
    ChildRun run;
    const UniqueFd input = openForChild("/dev/null", O_RDONLY);
    const UniqueFd output = openForChild("/dev/null", O_WRONLY);
    UniqueFd errorOutput;
    if (stderrFile) errorOutput = openForChild(stderrFile->c_str(), O_WRONLY | O_CREAT | O_TRUNC);
    if (!errorOutput) errorOutput = openForChild("/dev/null", O_WRONLY);
    const ChildStreams streams{input.get(), output.get(), errorOutput.get()};
    const std::optional<pid_t> pid = spawnChild(commandLineArguments(commandLine), streams, true, run.error);
    if (!pid) return run;
    run.started = true;
    if (const std::optional<int> status = waitForChild(*pid, timeoutMs)) {
        run.exitCode = exitCodeOf(*status);
        return run;
    }
    killAndReap(*pid, true);
    run.terminated = true;
    run.exitCode = 1;
    return run;
}

void PosixProcessServices::atNormalExit(std::function<void()> handler) { registerNormalExitHandler(std::move(handler)); }

void PosixProcessServices::exitProcess(int code) {
    std::fflush(nullptr);
    ::_exit(code);
}

}  // namespace zendra::posix
