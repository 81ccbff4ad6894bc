#include "fake_service.h"

#include "fake_platform.h"

namespace zendra::test {
namespace {

constexpr std::uint32_t kAccessDenied = 5;
constexpr std::uint32_t kRpcUnavailable = 1722;
constexpr std::uint32_t kServiceDoesNotExist = 1060;
constexpr std::uint32_t kServiceExists = 1073;
constexpr std::uint32_t kNotStartedByManager = 1063;

class FakeHandle final : public ServiceHandle {
public:
    FakeHandle(FakeServiceControl& owner, std::string name) : owner_(owner), name_(std::move(name)) {}

    bool start(std::uint32_t& error) override {
        owner_.calls.push_back("start " + name_);
        FakeService& s = service();
        if (s.status.currentState != kServiceStopped) return failWith(kErrorServiceAlreadyRunning, error);
        s.status.currentState = kServiceRunning;
        return true;
    }

    bool control(std::uint32_t code, ServiceStatus& status, std::uint32_t& error) override {
        owner_.calls.push_back("control " + name_ + " " + std::to_string(code));
        FakeService& s = service();
        if (s.status.currentState == kServiceStopped) return failWith(kErrorServiceNotActive, error);
        s.status.currentState = kServiceStopPending;
        s.status.waitHint = s.stopWaitHint;
        status = s.status;
        return true;
    }

    bool queryStatus(ServiceStatus& status, std::uint32_t&) override {
        FakeService& s = service();
        if (s.status.currentState == kServiceStopPending) {
            if (s.queriesUntilStopped > 0 && --s.queriesUntilStopped == 0) s.status.currentState = kServiceStopped;
            if (s.checkPointMoves) ++s.status.checkPoint;
        }
        status = s.status;
        return true;
    }

    bool queryStartType(std::uint32_t& startType, std::uint32_t& error, std::uint32_t& bytesNeeded) override {
        FakeService& s = service();
        if (s.configError != 0) {
            bytesNeeded = 9000;
            return failWith(s.configError, error);
        }
        startType = s.definition.startType;
        return true;
    }

    bool remove(std::uint32_t&) override {
        owner_.calls.push_back("delete " + name_);
        owner_.services.erase(name_);
        return true;
    }

    void setDescription(const std::u16string& text) override { service().description = text; }

private:
    FakeService& service() { return owner_.services.at(name_); }
    static bool failWith(std::uint32_t code, std::uint32_t& error) {
        error = code;
        return false;
    }

    FakeServiceControl& owner_;
    std::string name_;
};

class FakeManager final : public ServiceManager {
public:
    explicit FakeManager(FakeServiceControl& owner) : owner_(owner) {}

    std::unique_ptr<ServiceHandle> open(const std::string& name, std::uint32_t, std::uint32_t& error) override {
        if (owner_.services.count(name) == 0) {
            error = kServiceDoesNotExist;
            return nullptr;
        }
        return std::make_unique<FakeHandle>(owner_, name);
    }

    std::unique_ptr<ServiceHandle> create(const ServiceDefinition& definition, std::uint32_t& error) override {
        owner_.calls.push_back("create " + definition.name);
        error = owner_.createError != 0 ? owner_.createError : owner_.services.count(definition.name) ? kServiceExists : 0;
        if (error != 0) return nullptr;
        owner_.services[definition.name].definition = definition;
        return std::make_unique<FakeHandle>(owner_, definition.name);
    }

private:
    FakeServiceControl& owner_;
};

class FakeWorker final : public WorkerProcess {
public:
    explicit FakeWorker(FakeServiceControl& owner) : owner_(owner) {}

    bool start(const std::u16string& commandLine, std::uint32_t priorityClass, std::uint32_t& error) override {
        owner_.workerCommandLine = commandLine;
        owner_.workerPriority = priorityClass;
        error = owner_.worker.startError;
        return error == 0;
    }

    void discardOutput(ServiceEvents& events) override {
        events.outputReading(false);
        events.outputReading(true);
    }

    bool sendAndClose(const std::string& text, std::uint32_t&) override {
        owner_.workerInput += text;
        owner_.workerInputClosed = true;
        return true;
    }

    std::uint32_t waitForExit() override {
        if (owner_.worker.whileRunning) owner_.worker.whileRunning();
        return owner_.worker.exitCode;
    }

private:
    FakeServiceControl& owner_;
};

}  // namespace

std::unique_ptr<ServiceManager> FakeServiceControl::openManager(std::uint32_t access, std::uint32_t& error) {
    if (managerUnavailable || (!administrator && access == service_access::managerAll)) {
        error = managerUnavailable ? kRpcUnavailable : kAccessDenied;
        return nullptr;
    }
    return std::make_unique<FakeManager>(*this);
}

bool FakeServiceControl::runDispatcher(const std::string& name, ServiceEvents& events, std::uint32_t& error) {
    calls.push_back("dispatch " + name);
    if (!startedByManager) {
        error = kNotStartedByManager;
        return false;
    }
    events.serviceMain(startArguments);
    return true;
}

bool FakeServiceControl::registerControlHandler(const std::u16string& name, ServiceEvents& events) {
    calls.push_back("register " + narrow(name));
    if (registrationFails) return false;
    controlEvents = &events;
    return true;
}

bool FakeServiceControl::setStatus(const ServiceStatus& status, std::uint32_t&) {
    reports.push_back(status);
    return true;
}

void FakeServiceControl::handleConsoleEvents(ServiceEvents& events) { consoleEvents = &events; }

std::unique_ptr<WorkerProcess> FakeServiceControl::createWorker(PipeStep& failedStep, std::uint32_t& error) {
    if (worker.pipeFailure) {
        failedStep = *worker.pipeFailure;
        error = 8;
        return nullptr;
    }
    return std::make_unique<FakeWorker>(*this);
}

void FakeServiceControl::exitNormally(int code) {
    calls.push_back("exit " + std::to_string(code));
    throw FakeExit{code};
}

}  // namespace zendra::test
