// The diagnostic log: one plain-text line per call, written only when requested
// (the installer launcher always writes one and removes it at a normal end).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "concurrency.h"
#include "logger.h"
#include "platform.h"

namespace zendra {

// Whether this process always logs (installer) or only on request.
enum class LogPolicy { OnRequest, Always };

// The process's diagnostic log; every call serialises on one lock.
class DiagnosticLog final : public Logger {
public:
    // A log of the given policy over the platform's services.
    DiagnosticLog(Platform& platform, LogPolicy policy);
    // Appends one line, initialising the log on first use.
    void write(bool error, const std::string& text) override;
    // The log's path (none before the first line or while no log file exists); the file is then kept.
    std::optional<std::string> getLogFilePath();
    // Records the command-line log switch; must come before the first line.
    void setSwitchGiven() { switchGiven_ = true; }
    // Whether the command-line log switch was given.
    bool switchGiven() const { return switchGiven_; }

private:
    // Everything a line or the exit handler touches. The exit handler shares it, so the file
    // is still found and deleted when the handler runs after this object has gone.
    struct State {
        explicit State(Platform& platform) : os(platform) {}
        Platform& os;
        Mutex lock;
        bool kept = false;
        std::optional<std::string> path;
        std::unique_ptr<File> stream;
        // Closes the stream and deletes the file unless it was shown or requested.
        void deleteUnlessKept();
    };

    void initialise();
    // Creates the first free numbered log file in the temporary directory; its name, or nullopt.
    std::optional<std::string> claimTempName();

    LogPolicy policy_;
    bool initialised_ = false;
    bool switchGiven_ = false;
    std::shared_ptr<State> state_;
};

// The local time as the C library's ctime prints it, with its trailing "\n".
std::string ctimeText(std::int64_t secondsSince1970);

}  // namespace zendra
