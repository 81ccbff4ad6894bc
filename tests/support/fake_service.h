// An in-memory service control manager and service runtime for the service launcher's tests.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform_service.h"

namespace zendra::test {

// A registered service of the fake manager and how it answers.
struct FakeService {
    ServiceDefinition definition;
    std::u16string description;
    ServiceStatus status{kServiceOwnProcess, kServiceStopped, 0, 0, 0, 0, 0};
    int queriesUntilStopped = 1;       // status queries a stop stays pending for; -1: for ever
    std::uint32_t stopWaitHint = 2000;  // the wait hint while stop-pending
    bool checkPointMoves = false;      // each pending query raises the check point
    std::uint32_t configError = 0;     // non-zero: the configuration query fails so
};

// What the fake worker child does.
struct FakeWorkerScript {
    std::optional<PipeStep> pipeFailure;  // creating the pipes fails at this step
    std::uint32_t startError = 0;         // non-zero: the process cannot be started
    std::uint32_t exitCode = 0;           // how the worker ends
    std::function<void()> whileRunning;   // runs while the service waits for the worker
};

// The manager, the dispatcher and the worker in memory; every request is recorded in calls.
class FakeServiceControl final : public ServiceControl {
public:
    std::unique_ptr<ServiceManager> openManager(std::uint32_t access, std::uint32_t& error) override;
    bool runDispatcher(const std::string& name, ServiceEvents& events, std::uint32_t& error) override;
    bool registerControlHandler(const std::u16string& name, ServiceEvents& events) override;
    bool setStatus(const ServiceStatus& status, std::uint32_t& error) override;
    void handleConsoleEvents(ServiceEvents& events) override;
    std::unique_ptr<WorkerProcess> createWorker(PipeStep& failedStep, std::uint32_t& error) override;
    [[noreturn]] void exitNormally(int code) override;

    // Sends a control code to the registered handler, as the manager would.
    void sendControl(std::uint32_t code) { controlEvents->control(code); }

    // The manager.
    std::map<std::string, FakeService> services;  // by name
    bool administrator = true;                    // false: all-access connections are refused (5)
    bool managerUnavailable = false;              // every connection is refused (1722)
    std::uint32_t createError = 0;                // non-zero: creation fails so

    // The dispatcher and the service runtime.
    bool startedByManager = true;                 // false: the dispatcher fails with 1063
    std::vector<std::u16string> startArguments;   // what the service main function receives
    bool registrationFails = false;
    ServiceEvents* controlEvents = nullptr;        // where control codes go once registered
    std::vector<ServiceStatus> reports;            // every status set
    ServiceEvents* consoleEvents = nullptr;

    // The worker.
    FakeWorkerScript worker;
    std::u16string workerCommandLine;
    std::uint32_t workerPriority = 0;
    std::string workerInput;                       // what was written to its standard input
    bool workerInputClosed = false;

    std::vector<std::string> calls;
};

}  // namespace zendra::test
