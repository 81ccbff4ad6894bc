#include "service_commands.h"

#include <memory>

#include "paths.h"
#include "property_ids.h"

namespace zendra::service {
namespace {

constexpr std::uint32_t kStopPollMs = 500;

// The command words for one service name; every result line goes to standard output.
class Commands {
public:
    Commands(Launcher& l, ServiceControl& control, std::string name)
        : l_(l), control_(control), name_(std::move(name)) {}

    // Registers the service anew (an existing registration is removed first).
    int install(std::uint32_t startType, bool interactive) {
        uninstall(false);
        std::unique_ptr<ServiceManager> manager = openManager(service_access::managerAll);
        if (!manager) return kCommandFailed;
        std::uint32_t error = 0;
        ServiceDefinition definition;
        definition.name = name_;
        definition.serviceType = kServiceOwnProcess | (interactive ? kServiceInteractiveProcess : 0);
        definition.startType = startType;
        definition.binaryPath = registeredBinaryPath(getExecutablePath(l_));
        definition.dependencies = splitDependencies(l_.store.getProperty(prop::serviceDependencies));
        std::unique_ptr<ServiceHandle> service = manager->create(definition, error);
        if (!service) return fail("Could not create service.\n");
        const std::u16string& description = l_.store.getMessage(prop::msgServiceDescription);
        if (!description.empty()) service->setDescription(description);
        printNamed("Installed service '%s'.\n");
        return kCommandDone;
    }

    // Stops the service and removes its registration; failures are printed when verbose.
    int uninstall(bool verbose) {
        stop(false);
        std::unique_ptr<ServiceManager> manager = openManager(service_access::managerAll, verbose);
        if (!manager) return kCommandFailed;
        std::uint32_t error = 0;
        std::unique_ptr<ServiceHandle> service = manager->open(name_, service_access::remove, error);
        if (!service || !service->remove(error)) return fail("Could not delete service.\n", verbose);
        if (verbose) printNamed("Uninstalled service '%s'.\n");
        return kCommandDone;
    }

    // Asks the manager to start the service; does not wait for it to run.
    int start() {
        std::unique_ptr<ServiceManager> manager = openManager(service_access::managerConnect);
        if (!manager) return kCommandFailed;
        std::uint32_t error = 0;
        std::unique_ptr<ServiceHandle> service = manager->open(name_, service_access::start, error);
        if (service && service->start(error)) {
            printNamed("Starting service '%s'.\n");
            return kCommandDone;
        }
        if (error == kErrorServiceAlreadyRunning) {
            print("Service is already running.\n");
            return kCommandDone;
        }
        return fail(formatText("Could not start service. Error code: %d\n", static_cast<int>(error)));
    }

    // Asks the service to stop and waits for it; the progress lines are printed even when
    // quiet, failures only when verbose.
    int stop(bool verbose) {
        std::unique_ptr<ServiceManager> manager = openManager(service_access::managerConnect, verbose);
        if (!manager) return kCommandFailed;
        std::uint32_t error = 0;
        std::unique_ptr<ServiceHandle> service =
            manager->open(name_, service_access::stop | service_access::queryStatus, error);
        if (!service) return fail("Could not stop service.\n", verbose);
        ServiceStatus status;
        if (service->control(kControlStop, status, error)) {
            printNamed("Stopping service '%s'.\n");
            print(waitForStop(*service) ? "Service stopped\n" : "Error while stopping service\n");
            return kCommandDone;
        }
        if (error == kErrorServiceNotActive) {
            print("Service is already stopped.\n");
            return kCommandDone;
        }
        return fail("Could not stop service.\n", verbose);
    }

    // Whether the service runs (0) or not (3), and whether it starts automatically.
    int status() {
        std::unique_ptr<ServiceManager> manager = openManager(service_access::managerConnect);
        if (!manager) return kCommandFailed;
        std::uint32_t error = 0;
        std::unique_ptr<ServiceHandle> service =
            manager->open(name_, service_access::queryConfig | service_access::queryStatus, error);
        ServiceStatus status;
        if (!service || !service->queryStatus(status, error)) return fail("Could not get status.\n");
        const bool running = status.currentState == kServiceRunning;
        print(running ? "Running.\n" : "Not running.\n");
        std::uint32_t startType = 0;
        std::uint32_t needed = 0;
        if (!service->queryStartType(startType, error, needed))
            return fail(formatText("Could not get config (%d, %d).\n", static_cast<int>(error), static_cast<int>(needed)));
        if (startType == kServiceAutoStart) print(formatText("%s.\n", "Auto-start"));
        return running ? kCommandDone : kStatusNotRunning;
    }

private:
    // Waits while the service is stop-pending and its check point moves on within the wait
    // hint; whether it ended stopped.
    bool waitForStop(ServiceHandle& service) {
        std::uint32_t error = 0;
        ServiceStatus status;
        if (!service.queryStatus(status, error)) return false;
        Desktop& clock = l_.os.desktop;
        std::uint32_t since = clock.tickCount();
        std::uint32_t checkPoint = status.checkPoint;
        while (status.currentState == kServiceStopPending) {
            clock.sleep(kStopPollMs);
            if (!service.queryStatus(status, error)) return false;
            if (status.checkPoint > checkPoint) {
                since = clock.tickCount();
                checkPoint = status.checkPoint;
            } else if (clock.tickCount() - since > status.waitHint) {
                break;
            }
        }
        return status.currentState == kServiceStopped;
    }

    void print(const std::string& text) { l_.os.ui.writeStdout(text); }

    // Prints a line whose one "%s" is the service name.
    void printNamed(const char* format) { print(formatText(format, name_.c_str())); }

    int fail(const std::string& text, bool shown = true) {
        if (shown) print(text);
        return kCommandFailed;
    }

    // Connects to the manager; prints the failure when shown.
    std::unique_ptr<ServiceManager> openManager(std::uint32_t access, bool shown = true) {
        std::uint32_t error = 0;
        std::unique_ptr<ServiceManager> manager = control_.openManager(access, error);
        if (!manager) fail("Could not open SCManager.\n", shown);
        return manager;
    }

    Launcher& l_;
    ServiceControl& control_;
    std::string name_;
};

}  // namespace

int runCommand(Launcher& l, ServiceControl& control, const Command& command) {
    Commands commands(l, control, command.name.value_or(l.store.getProperty(prop::applicationName)));
    const std::uint32_t configured =
        l.store.getIntProperty(prop::launcherType) == 4 ? kServiceAutoStart : kServiceDemandStart;
    switch (command.word) {
        case CommandWord::Install:
            return commands.install(configured, command.interactive);
        case CommandWord::InstallAuto:
            return commands.install(kServiceAutoStart, command.interactive);
        case CommandWord::InstallDemand:
            return commands.install(kServiceDemandStart, command.interactive);
        case CommandWord::InstallAndStart:
            commands.install(configured, command.interactive);
            return commands.start();
        case CommandWord::Uninstall:
            return commands.uninstall(true);
        case CommandWord::Start:
            return commands.start();
        case CommandWord::Stop:
            return commands.stop(true);
        case CommandWord::Status:
            return commands.status();
    }
    return kCommandFailed;
}

}  // namespace zendra::service
