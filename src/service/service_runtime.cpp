#include "service_runtime.h"

#include <memory>

#include "concurrency.h"
#include "property_ids.h"

namespace zendra::service {
namespace {

constexpr std::uint32_t kServiceWin32 = 0x30;
constexpr std::uint32_t kAcceptStopAndShutdown = 5;
constexpr std::uint32_t kWaitHintMs = 50000;
constexpr std::uint32_t kWorkerFailure = 5000;
constexpr std::size_t kMaxNameBytes = 8191;

// The state of the service role, shared by the service main function (on the dispatcher's
// service thread) and the control handler (on the dispatcher's own thread).
class ServiceRole final : public ServiceEvents {
public:
    ServiceRole(Launcher& l, ServiceControl& control, const ArgumentList& arguments)
        : l_(l), control_(control), arguments_(arguments) {}

    int run() {
        l_.log.message("calling StartServiceCtrlDispatcher");
        std::uint32_t error = 0;
        if (!control_.runDispatcher(l_.store.getProperty(prop::applicationName), *this, error))
            l_.log.message("StartServiceCtrlDispatcher failed with error %d", static_cast<int>(error));
        l_.log.message("StartServiceCtrlDispatcher returned");
        awaitServiceMainEnd();
        return 0;
    }

    void serviceMain(const std::vector<std::u16string>& startArguments) override {
        setMainActive(true);
        runServiceMain(startArguments);
        setMainActive(false);
        ended_.notify_all();
    }

    void control(std::uint32_t code) override;

    void consoleEvent() override { l_.log.message("ConsoleCtrlHandler event"); }

    void outputReading(bool finished) override {
        l_.log.message(finished ? "consuming output done" : "consuming output");
    }

private:
    void setMainActive(bool active) {
        std::lock_guard guard(endLock_);
        mainActive_ = active;
    }

    void runServiceMain(const std::vector<std::u16string>& startArguments) {
        l_.log.message("service main");
        status_ = {kServiceWin32, kServiceRunning, kAcceptStopAndShutdown, 0, 0, 0, kWaitHintMs};
        std::u16string wideName = u"unknown";
        name_ = "unknown";
        if (!startArguments.empty()) {
            std::string narrow = l_.os.codec.toAnsi(startArguments.front()).text;
            if (!narrow.empty() && narrow.size() <= kMaxNameBytes) {
                name_ = std::move(narrow);
                wideName = startArguments.front();
            }
        }
        l_.log.message("service name is '%s'", name_.c_str());
        if (!control_.registerControlHandler(wideName, *this)) return;
        report();
        if (!startWorker(workerCommandLine(arguments_, wideName, startArguments))) return;
        report();
        l_.log.message("registering ConsoleCtrlHandler");
        control_.handleConsoleEvents(*this);
        const std::uint32_t exitCode = worker_->waitForExit();
        l_.log.message("process terminated with exit code %d", static_cast<int>(exitCode));
        if (reportStoppedAfterExit(exitCode)) l_.log.message("service stopped set");
        l_.log.message("exiting");
        control_.exitNormally(0);
    }

    // Creates the pipes and starts the worker; on failure the service is reported stopped.
    bool startWorker(const std::u16string& commandLine) {
        PipeStep step = PipeStep::OutputPipe;
        std::uint32_t error = 0;
        std::unique_ptr<WorkerProcess> worker = control_.createWorker(step, error);
        if (!worker) {
            logPipeFailure(step, error);
            reportWorkerFailure();
            return false;
        }
        const std::uint32_t priority = workerPriority();
        if (!worker->start(commandLine, priority, error)) {
            l_.log.message("could not start process %s (%d)", l_.os.codec.toAnsi(commandLine).text.c_str(),
                           static_cast<int>(error));
            reportWorkerFailure();
            return false;
        }
        worker->discardOutput(*this);
        std::lock_guard guard(lock_);
        worker_ = std::move(worker);
        if (shutdownRequested_) sendShutdown();
        return true;
    }

    void logPipeFailure(PipeStep step, std::uint32_t error) {
        static constexpr const char* kLines[] = {"CreatePipe error (%d)", "SetHandleInformation error (%d)",
                                                 "CreatePipe error 2 (%d)", "SetHandleInformation error 2 (%d)"};
        l_.log.message(kLines[static_cast<int>(step)], static_cast<int>(error));
    }

    std::uint32_t workerPriority() {
        const std::optional<RegValue> value = l_.os.registry.queryValue(Hive::LocalMachine, kPriorityKey, name_);
        if (!value || value->data.size() != 4) return kNormalPriorityClass;
        const std::uint32_t priority = value->data[0] | (value->data[1] << 8) | (value->data[2] << 16) |
                                       (static_cast<std::uint32_t>(value->data[3]) << 24);
        l_.log.message("using priority %d", static_cast<int>(priority));
        return priority;
    }

    void reportWorkerFailure() {
        std::lock_guard guard(lock_);
        status_.currentState = kServiceStopped;
        status_.win32ExitCode = kErrorServiceSpecific;
        status_.serviceSpecificExitCode = kWorkerFailure;
        std::uint32_t error = 0;
        control_.setStatus(status_, error);
    }

    bool reportStoppedAfterExit(std::uint32_t exitCode) {
        std::lock_guard guard(lock_);
        if (exitCode != 0 && status_.currentState != kServiceStopPending) return false;
        status_.currentState = kServiceStopped;
        std::uint32_t error = 0;
        if (!control_.setStatus(status_, error)) l_.log.message("SetServiceStatus 10 failed %d", static_cast<int>(error));
        return true;
    }

    void report() {
        std::lock_guard guard(lock_);
        std::uint32_t error = 0;
        control_.setStatus(status_, error);
    }

    // Sends the shutdown line once; the caller holds lock_ and worker_ exists.
    void sendShutdown() {
        if (shutdownSent_) return;
        shutdownSent_ = true;
        l_.log.message("sending shutdown %d", 0);
        std::uint32_t error = 0;
        worker_->sendAndClose("0\n", error);
        l_.log.message("shutdown sent");
    }

    // Waits while a service main function runs that has not ended the process itself.
    void awaitServiceMainEnd() {
        std::unique_lock guard(endLock_);
        ended_.wait(guard, [this] { return !mainActive_; });
    }

    Launcher& l_;
    ServiceControl& control_;
    const ArgumentList& arguments_;
    std::string name_;

    Mutex lock_;  // guards the status record, the worker and the shutdown flags
    ServiceStatus status_;
    std::unique_ptr<WorkerProcess> worker_;
    bool shutdownRequested_ = false;
    bool shutdownSent_ = false;

    Mutex endLock_;
    ConditionVariable ended_;
    bool mainActive_ = false;
};

void ServiceRole::control(std::uint32_t code) {
    l_.log.message("control handler request %d", static_cast<int>(code));
    std::lock_guard guard(lock_);
    const bool stopping = code == kControlStop || code == kControlShutdown;
    if (code == kControlShutdown) ++status_.checkPoint;
    if (stopping) status_.currentState = kServiceStopPending;
    std::uint32_t error = 0;
    if (!control_.setStatus(status_, error))
        l_.log.message(!stopping ? "SetServiceStatus 3 failed %d"
                       : code == kControlStop ? "SetServiceStatus 2 failed %d" : "SetServiceStatus 1 failed %d",
                       static_cast<int>(error));
    if (!stopping) return;
    shutdownRequested_ = true;
    if (worker_) sendShutdown();
}

}  // namespace

std::u16string workerCommandLine(const ArgumentList& arguments, const std::u16string& serviceName,
                                 const std::vector<std::u16string>& startArguments) {
    ArgumentList pieces;
    pieces.reserve(arguments.size() + startArguments.size() + 2);
    pieces.push_back(arguments.empty() ? std::u16string() : arguments.front());
    pieces.push_back(serviceName);
    for (const ArgumentList* list : {&arguments, &startArguments})
        for (std::size_t i = 1; i < list->size(); ++i) pieces.push_back((*list)[i]);
    pieces.emplace_back(kWorkerMarker);
    return joinCommandLine(pieces);
}

int runServiceRole(Launcher& l, ServiceControl& control, const ArgumentList& arguments) {
    ServiceRole role(l, control, arguments);
    return role.run();
}

}  // namespace zendra::service
