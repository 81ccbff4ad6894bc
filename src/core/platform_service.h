// The service control manager and the service runtime: registering, starting, stopping and
// querying a service, the dispatcher with its control handler, and the worker child process
// that the running service starts and feeds through its standard input.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace zendra {

// Access rights on the manager and on a service, with the values of the platform.
namespace service_access {
inline constexpr std::uint32_t managerConnect = 0x0001;     // SC_MANAGER_CONNECT
inline constexpr std::uint32_t managerAll = 0xF003F;        // SC_MANAGER_ALL_ACCESS
inline constexpr std::uint32_t queryConfig = 0x0001;        // SERVICE_QUERY_CONFIG
inline constexpr std::uint32_t queryStatus = 0x0004;        // SERVICE_QUERY_STATUS
inline constexpr std::uint32_t start = 0x0010;              // SERVICE_START
inline constexpr std::uint32_t stop = 0x0020;               // SERVICE_STOP
inline constexpr std::uint32_t remove = 0x10000;            // DELETE
inline constexpr std::uint32_t all = 0xF01FF;               // SERVICE_ALL_ACCESS
}  // namespace service_access

// Service states as the manager reports them.
inline constexpr std::uint32_t kServiceStopped = 1;
inline constexpr std::uint32_t kServiceStopPending = 3;
inline constexpr std::uint32_t kServiceRunning = 4;

// Start types of a registration.
inline constexpr std::uint32_t kServiceAutoStart = 2;
inline constexpr std::uint32_t kServiceDemandStart = 3;

// Service types of a registration.
inline constexpr std::uint32_t kServiceOwnProcess = 0x10;
inline constexpr std::uint32_t kServiceInteractiveProcess = 0x100;

// Control codes.
inline constexpr std::uint32_t kControlStop = 1;
inline constexpr std::uint32_t kControlShutdown = 5;

// System error codes the service commands tell apart.
inline constexpr std::uint32_t kErrorServiceAlreadyRunning = 1056;
inline constexpr std::uint32_t kErrorServiceNotActive = 1062;
inline constexpr std::uint32_t kErrorServiceSpecific = 1066;

// The status record of a service, field for field as the manager keeps it.
struct ServiceStatus {
    std::uint32_t serviceType = 0;
    std::uint32_t currentState = 0;
    std::uint32_t controlsAccepted = 0;
    std::uint32_t win32ExitCode = 0;
    std::uint32_t serviceSpecificExitCode = 0;
    std::uint32_t checkPoint = 0;
    std::uint32_t waitHint = 0;
};

// What a new registration holds (8-bit texts in the ANSI code page).
struct ServiceDefinition {
    std::string name;                       // key name and display name
    std::uint32_t serviceType = kServiceOwnProcess;
    std::uint32_t startType = kServiceDemandStart;
    std::string binaryPath;                 // the command line the manager starts
    std::vector<std::string> dependencies;  // names of services that must run first
};

// One open service; closed when destroyed. Failing calls give the system error code.
class ServiceHandle {
public:
    virtual ~ServiceHandle() = default;
    // Asks the manager to start the service, without start arguments.
    virtual bool start(std::uint32_t& error) = 0;
    // Sends a control code; status receives what the service reported back.
    virtual bool control(std::uint32_t code, ServiceStatus& status, std::uint32_t& error) = 0;
    // The current status.
    virtual bool queryStatus(ServiceStatus& status, std::uint32_t& error) = 0;
    // The registered start type, read into a configuration buffer of 8192 bytes; on failure
    // bytesNeeded receives the size the manager asked for.
    virtual bool queryStartType(std::uint32_t& startType, std::uint32_t& error, std::uint32_t& bytesNeeded) = 0;
    // Marks the service for deletion.
    virtual bool remove(std::uint32_t& error) = 0;
    // Sets the description text, when the system offers the call (a call looked up at run
    // time); its outcome is not reported.
    virtual void setDescription(const std::u16string& text) = 0;
};

// An open connection to the service control manager of this machine; closed when destroyed.
class ServiceManager {
public:
    virtual ~ServiceManager() = default;
    // Opens a service by name with the access rights of service_access.
    virtual std::unique_ptr<ServiceHandle> open(const std::string& name, std::uint32_t access,
                                                std::uint32_t& error) = 0;
    // Registers a new service (error control normal, the local system account) and opens it
    // with all access.
    virtual std::unique_ptr<ServiceHandle> create(const ServiceDefinition& definition, std::uint32_t& error) = 0;
};

// What a running service does when the system calls it back; the calls arrive on threads of
// the system. Each one does nothing unless overridden.
class ServiceEvents {
public:
    // The service main function, on a thread of its own, with the start arguments.
    virtual void serviceMain(const std::vector<std::u16string>&) {}
    // A control code from the manager.
    virtual void control(std::uint32_t) {}
    // A console event (a log-off, say), which is then reported as handled.
    virtual void consoleEvent() {}
    // The worker's output thread starts reading (finished false) or has seen the pipe end.
    virtual void outputReading(bool /*finished*/) {}

protected:
    ~ServiceEvents() = default;
};

// Which step of preparing the worker's standard streams failed.
enum class PipeStep {
    OutputPipe,     // the pipe of the worker's output
    OutputReadEnd,  // making its read end private to this process
    InputPipe,      // the pipe of the worker's input
    InputWriteEnd,  // making its write end private to this process
};

// The worker child process of a running service and its two pipes: the worker's standard
// output and error lead to this process, its standard input comes from this process.
class WorkerProcess {
public:
    virtual ~WorkerProcess() = default;
    // Starts the command line with the pipes as its standard handles, without a console, in
    // the given priority class; closes this process's copy of the output pipe's write end.
    virtual bool start(const std::u16string& commandLine, std::uint32_t priorityClass, std::uint32_t& error) = 0;
    // Starts a thread that reads and discards the worker's output until the pipe ends;
    // events hear of its start and its end on that thread.
    virtual void discardOutput(ServiceEvents& events) = 0;
    // Writes text to the worker's standard input and closes that pipe.
    virtual bool sendAndClose(const std::string& text, std::uint32_t& error) = 0;
    // Waits without time-out for the worker to end; its exit code.
    virtual std::uint32_t waitForExit() = 0;
};

// The service control manager, the service dispatcher and the process-level calls that a
// running service makes.
class ServiceControl {
public:
    virtual ~ServiceControl() = default;

    // Connects to the manager with the access rights of service_access.
    virtual std::unique_ptr<ServiceManager> openManager(std::uint32_t access, std::uint32_t& error) = 0;

    // Connects this process to the manager as the service name and blocks until the service
    // has stopped; the service main function of events runs on a thread of its own. False
    // with the system error when the process was not started by the manager.
    virtual bool runDispatcher(const std::string& name, ServiceEvents& events, std::uint32_t& error) = 0;
    // Registers the running service's handler of control codes, which passes them to events;
    // false on failure.
    virtual bool registerControlHandler(const std::u16string& name, ServiceEvents& events) = 0;
    // Reports the service's status to the manager.
    virtual bool setStatus(const ServiceStatus& status, std::uint32_t& error) = 0;
    // Registers a console event handler that reports every event as handled, after passing
    // it to events, so that events such as a log-off do not end the process.
    virtual void handleConsoleEvents(ServiceEvents& events) = 0;

    // Creates the worker's pipes; null with the failing step and the system error otherwise.
    virtual std::unique_ptr<WorkerProcess> createWorker(PipeStep& failedStep, std::uint32_t& error) = 0;

    // Ends the process the normal way (exit handlers run).
    [[noreturn]] virtual void exitNormally(int code) = 0;
};

}  // namespace zendra
