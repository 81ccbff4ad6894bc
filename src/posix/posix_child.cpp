#include "posix_child.h"

#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "command_line.h"
#include "posix_text_codec.h"

extern "C" char** environ;

namespace zendra::posix {

namespace {

// posix_spawn's file actions, destroyed with their owner.
class SpawnActions {
public:
    SpawnActions() { ok_ = ::posix_spawn_file_actions_init(&actions_) == 0; }
    ~SpawnActions() {
        if (ok_) ::posix_spawn_file_actions_destroy(&actions_);
    }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    // Whether initialisation worked.
    bool ok() const { return ok_; }
    // Connects the child's descriptor target to source (kept when source is -1).
    bool connect(int source, int target) {
        return source < 0 || ::posix_spawn_file_actions_adddup2(&actions_, source, target) == 0;
    }
    // The actions for posix_spawnp.
    const posix_spawn_file_actions_t* get() const { return &actions_; }

private:
    posix_spawn_file_actions_t actions_{};
    bool ok_ = false;
};

// posix_spawn's attributes, destroyed with their owner.
class SpawnAttributes {
public:
    SpawnAttributes() { ok_ = ::posix_spawnattr_init(&attributes_) == 0; }
    ~SpawnAttributes() {
        if (ok_) ::posix_spawnattr_destroy(&attributes_);
    }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    // Empty signal mask, SIGPIPE at its default, and a new process group when asked.
    bool configure(bool ownGroup) {
        if (!ok_) return false;
        sigset_t none;
        sigset_t defaults;
        sigemptyset(&none);
        sigemptyset(&defaults);
        sigaddset(&defaults, SIGPIPE);
        short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
        if (ownGroup) flags = static_cast<short>(flags | POSIX_SPAWN_SETPGROUP);
        return ::posix_spawnattr_setsigmask(&attributes_, &none) == 0 &&
               ::posix_spawnattr_setsigdefault(&attributes_, &defaults) == 0 &&
               ::posix_spawnattr_setpgroup(&attributes_, 0) == 0 && ::posix_spawnattr_setflags(&attributes_, flags) == 0;
    }
    // The attributes for posix_spawnp.
    const posix_spawnattr_t* get() const { return &attributes_; }

private:
    posix_spawnattr_t attributes_{};
    bool ok_ = false;
};

// waitpid, retried when a signal interrupts it.
pid_t waitRetrying(pid_t pid, int& status, int options) {
    pid_t result = ::waitpid(pid, &status, options);
    while (result == -1 && errno == EINTR) result = ::waitpid(pid, &status, options);
    return result;
}

}  // namespace

std::vector<std::string> commandLineArguments(const std::string& commandLine) {
    ArgumentList tokens;
    splitCommandLine(utf8ToUtf16(commandLine), tokens);
    std::vector<std::string> arguments;
    arguments.reserve(tokens.size());
    for (const auto& token : tokens) arguments.push_back(utf16ToUtf8(token).text);
    return arguments;
}

std::optional<pid_t> spawnChild(const std::vector<std::string>& argv, const ChildStreams& streams, bool ownGroup,
                                std::uint32_t& error) {
    if (argv.empty() || argv.front().empty()) {
        error = ENOENT;
        return std::nullopt;
    }
    SpawnActions actions;
    SpawnAttributes attributes;
    if (!actions.ok() || !actions.connect(streams.input, 0) || !actions.connect(streams.output, 1) ||
        !actions.connect(streams.error, 2) || !attributes.configure(ownGroup)) {
        error = ENOMEM;
        return std::nullopt;
    }
    std::vector<char*> pointers;
    pointers.reserve(argv.size() + 1);
    for (const auto& argument : argv) pointers.push_back(const_cast<char*>(argument.c_str()));
    pointers.push_back(nullptr);
    pid_t pid = 0;
    // glibc reports a failed exec as posix_spawnp's result.
    const int status = ::posix_spawnp(&pid, pointers.front(), actions.get(), attributes.get(), pointers.data(), environ);
    if (status != 0) {
        error = static_cast<std::uint32_t>(status);
        return std::nullopt;
    }
    error = 0;
    return pid;
}

std::optional<int> waitForChild(pid_t pid, std::uint32_t timeoutMs) {
    int status = 0;
    if (timeoutMs == 0xFFFFFFFFu) {
        if (waitRetrying(pid, status, 0) == pid) return status;
        return 0;  // not our child any more (reaped elsewhere): nothing to wait for
    }
    using Clock = std::chrono::steady_clock;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        const pid_t result = waitRetrying(pid, status, WNOHANG);
        if (result == pid) return status;
        if (result == -1) return 0;
        const auto now = Clock::now();
        if (now >= deadline) return std::nullopt;
        std::this_thread::sleep_for(std::min<Clock::duration>(pause, deadline - now));
        if (pause < std::chrono::milliseconds(20)) pause *= 2;
    }
}

void killAndReap(pid_t pid, bool ownGroup) {
    if (ownGroup) ::kill(-pid, SIGKILL);
    ::kill(pid, SIGKILL);
    int status = 0;
    waitRetrying(pid, status, 0);
}

void reapInBackground(pid_t pid) {
    try {
        std::thread([pid] {
            int status = 0;
            waitRetrying(pid, status, 0);
        }).detach();
    } catch (...) {
        // Without a thread the child stays a zombie until this process ends.
    }
}

std::uint32_t exitCodeOf(int status) {
    if (WIFEXITED(status)) return static_cast<std::uint32_t>(WEXITSTATUS(status));
    if (WIFSIGNALED(status)) return 128u + static_cast<std::uint32_t>(WTERMSIG(status));
    return 1;
}

}  // namespace zendra::posix
