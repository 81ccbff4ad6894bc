#include "entry.h"

#include "class_path.h"
#include "console_switches.h"
#include "errors.h"
#include "included_files.h"
#include "jvm_launcher.h"
#include "jvm_loader.h"
#include "launcher.h"
#include "process_windows.h"
#include "property_ids.h"
#include "single_instance.h"
#include "splash.h"
#include "text.h"

namespace zendra {
namespace {

constexpr int kExitNoRuntime = 83;

// The common part of every flow after the entry's own markers: split, start up, prepare the
// native library path, find and load the Java runtime, create the VM and run the application.
int startAndLaunch(Launcher& l, const std::u16string& commandLine) {
    ArgumentList args;
    splitCommandLine(commandLine, args);
    launcherInit(l, &args);
    // A restarted installer has inherited the prepared PATH.
    if (!(l.kind == LauncherKind::Setup && l.languageRestart)) setNativeLibraryPath(l);
    if (!LoadDLL(l, true, std::nullopt, false)) fatalExit(l, kExitNoRuntime);
    if (!launchProgram(l, args, true)) fatalPropertyWithArgument(l, prop::errorVmStart);
    return 0;
}

// The application launcher after its markers: start-up, console switches, single instance,
// splash, included files, native library path, the runtime, the VM and the application.
int runApplication(Launcher& l, int showCommand) {
    ArgumentList args;
    if (l.givenArguments)
        args = *l.givenArguments;
    else
        splitCommandLine(l.commandLine, args);
    launcherInit(l, &args);
    if (l.store.getIntProperty(prop::quietSwitches) != 0 || l.store.getIntProperty(prop::consoleSwitch) != 0)
        applyConsoleSwitches(l, args);
    if (!l.languageRestart) checkSingleInstance(l, true, true, args);
    const bool splash = l.store.getIntProperty(prop::splashScreen) != 0;
    const bool javaSplash = l.store.getIntProperty(prop::useJavaSplash) != 0;
    if (splash && !javaSplash) showSplash(l, showCommand);
    if (extractIncludedFiles(l, true) != 0) fatalPropertyWithArgument(l, prop::errorInternal, "16");
    setNativeLibraryPath(l);
    if (!LoadDLL(l, true, std::nullopt, false)) fatalExit(l, kExitNoRuntime);
    if (splash && javaSplash) showSplash(l, showCommand);
    if (!launchProgram(l, args, true)) fatalPropertyWithArgument(l, prop::errorVmStart);
    return 0;
}

}  // namespace

int appLauncherMain(Platform& platform, const std::u16string& commandLine, const std::string& rawTail,
                    int showCommand, const ArgumentList* arguments) {
    Launcher l(platform, LauncherKind::App);
    if (isRebootRequest(rawTail)) {
        rebootSystem(l);
        return 0;
    }
    l.commandLine = commandLine;
    if (arguments != nullptr) l.givenArguments = *arguments;
    if (startsWith(rawTail, "__qln_lang_restart")) l.languageRestart = true;
    if (startsWith(rawTail, "-q_qln_internal")) l.errorDisplayMode = false;
    return runApplication(l, showCommand);
}

int setupLauncherMain(Platform& platform, const std::u16string& commandLine, const std::string& rawTail) {
    Launcher l(platform, LauncherKind::Setup);
    l.commandLine = commandLine;
    if (startsWith(rawTail, "__qln_lang_restart")) l.languageRestart = true;
    return startAndLaunch(l, commandLine);
}

}  // namespace zendra
