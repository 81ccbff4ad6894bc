// Starting a program with a given environment and collecting how it ended and what it wrote.
#pragma once

#include <string>
#include <vector>

namespace zendra::jvmtest {

// How a child process ended.
struct ChildResult {
    int exitCode = -1;     // the exit status, when it exited
    int signal = 0;        // the signal that ended it, else 0
    bool timedOut = false; // it outlived the time-out and was killed
    std::string out;       // everything it wrote to standard output
    std::string err;       // everything it wrote to standard error
};

// Runs argv with exactly the environment given ("NAME=value"), standard input from /dev/null
// and its output in files of workDir; kills it after timeoutSeconds.
ChildResult runChild(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                     const std::string& workDir, int timeoutSeconds);

// The whole content of a file ("" when it is missing).
std::string readFile(const std::string& path);

}  // namespace zendra::jvmtest
