#include "service_launcher.h"

#include "class_path.h"
#include "errors.h"
#include "included_files.h"
#include "jvm_launcher.h"
#include "jvm_loader.h"
#include "launcher.h"
#include "property_ids.h"
#include "service_commands.h"
#include "service_runtime.h"
#include "single_instance.h"

namespace zendra {
namespace {

// A command word's lines reach the console of the command prompt that started this
// windowless program; redirected standard handles stay as they are.
void showOutputOnParentConsole(Launcher& l) {
    if (l.os.desktop.attachParentConsole() == ConsoleAttach::Attached) l.os.desktop.reopenStandardStreams();
}

// What the worker hears from the system: console events, which are logged.
class WorkerEvents final : public ServiceEvents {
public:
    explicit WorkerEvents(Logger& log) : log_(log) {}
    void consoleEvent() override { log_.message("ConsoleCtrlHandler event"); }

private:
    Logger& log_;
};

// The worker child: the application in this process's own VM, with the service name as
// the program of its arguments.
int runWorker(Launcher& l, ServiceControl& control, ArgumentList& arguments) {
    arguments.pop_back();
    if (extractIncludedFiles(l, true) != 0) fatalPropertyWithArgument(l, prop::errorInternal, "16");
    setNativeLibraryPath(l);
    l.log.message("registering ConsoleCtrlHandler");
    WorkerEvents events(l.log);
    control.handleConsoleEvents(events);
    checkSingleInstance(l, true, false, arguments);
    if (!LoadDLL(l, true, std::nullopt, false)) fatalExit(l, 1);
    if (!launchProgram(l, arguments, true)) fatalExit(l, 1);
    return 0;
}

}  // namespace

int serviceLauncherMain(Platform& platform, ServiceControl& control, const std::u16string& commandLine,
                        const std::string& rawTail) {
    Launcher l(platform, LauncherKind::Service);
    l.commandLine = commandLine;
    if (const std::optional<service::Command> command = service::parseCommand(rawTail)) {
        showOutputOnParentConsole(l);
        launcherInit(l, nullptr);
        return service::runCommand(l, control, *command);
    }
    ArgumentList arguments;
    splitCommandLine(commandLine, arguments);
    launcherInit(l, &arguments);
    l.log.message("command line %s", platform.codec.toAnsi(commandLine).text.c_str());
    if (arguments.size() < 2 || arguments.back() != service::kWorkerMarker)
        return service::runServiceRole(l, control, arguments);
    arguments.erase(arguments.begin());
    return runWorker(l, control, arguments);
}

}  // namespace zendra
