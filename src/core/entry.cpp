#include "entry.h"

#include "class_path.h"
#include "errors.h"
#include "jvm_launcher.h"
#include "jvm_loader.h"
#include "launcher.h"
#include "property_ids.h"
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

}  // namespace

int appLauncherMain(Platform& platform, const std::u16string& commandLine, const std::string& rawTail) {
    Launcher l(platform, LauncherKind::App);
    if (startsWith(rawTail, "__qln_lang_restart")) l.languageRestart = true;
    if (startsWith(rawTail, "-q_qln_internal")) l.errorDisplayMode = false;
    return startAndLaunch(l, commandLine);
}

int serviceLauncherMain(Platform& platform, const std::u16string& commandLine, const std::string&) {
    Launcher l(platform, LauncherKind::Service);
    return startAndLaunch(l, commandLine);
}

int setupLauncherMain(Platform& platform, const std::u16string& commandLine, const std::string& rawTail) {
    Launcher l(platform, LauncherKind::Setup);
    if (startsWith(rawTail, "__qln_lang_restart")) l.languageRestart = true;
    return startAndLaunch(l, commandLine);
}

}  // namespace zendra
