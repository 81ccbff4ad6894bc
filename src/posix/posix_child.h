// Starting and waiting for child processes with posix_spawn.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zendra::posix {

// The program arguments a Windows-style command line stands for, split by the core's own
// tokenizer ("..." and '...' quote, blanks separate) and kept as UTF-8.
std::vector<std::string> commandLineArguments(const std::string& commandLine);

// How a child's standard streams are connected: -1 keeps the parent's.
struct ChildStreams {
    int input = -1;
    int output = -1;
    int error = -1;
};

// Starts argv[0] (searched along $PATH when it has no "/") with the parent's environment,
// an empty signal mask and SIGPIPE at its default. With ownGroup the child leads a new
// process group. The child's pid, or nullopt and error (errno, including a failed exec).
std::optional<pid_t> spawnChild(const std::vector<std::string>& argv, const ChildStreams& streams, bool ownGroup,
                                std::uint32_t& error);

// Waits for the child to end, at most timeoutMs (0xFFFFFFFF: without limit); its wait
// status, or nullopt when it was still running at the limit.
std::optional<int> waitForChild(pid_t pid, std::uint32_t timeoutMs);

// Kills the child (and its process group when it leads one) with SIGKILL and reaps it.
void killAndReap(pid_t pid, bool ownGroup);

// Reaps the child on a detached thread when it ends, so that it leaves no zombie.
void reapInBackground(pid_t pid);

// A wait status as an exit code: the exit status, or 128 + the signal that ended it.
std::uint32_t exitCodeOf(int status);

}  // namespace zendra::posix
