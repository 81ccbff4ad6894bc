#include "entry.h"

#include "errors.h"
#include "jvm_loader.h"
#include "launcher.h"
#include "property_ids.h"
#include "text.h"

namespace zendra {
namespace {

constexpr int kExitNoRuntime = 83;

// The common part of every flow after the entry's own markers: split, start up, find and
// load the Java runtime. Creating the VM is not part of this build yet, so a loaded
// runtime ends in the "VM could not be started" text.
int startAndReport(Launcher& l, const std::u16string& commandLine) {
    ArgumentList args;
    splitCommandLine(commandLine, args);
    launcherInit(l, &args);
    if (!LoadDLL(l, true, std::nullopt, false)) fatalExit(l, kExitNoRuntime);
    l.log.message("Creating the Java VM is not available in this build");
    fatalPropertyWithArgument(l, prop::errorVmStart);
}

}  // namespace

int appLauncherMain(Platform& platform, const std::u16string& commandLine, const std::string& rawTail) {
    Launcher l(platform, LauncherKind::App);
    if (startsWith(rawTail, "__qln_lang_restart")) l.languageRestart = true;
    if (startsWith(rawTail, "-q_qln_internal")) l.errorDisplayMode = false;
    return startAndReport(l, commandLine);
}

int serviceLauncherMain(Platform& platform, const std::u16string& commandLine, const std::string&) {
    Launcher l(platform, LauncherKind::Service);
    return startAndReport(l, commandLine);
}

int setupLauncherMain(Platform& platform, const std::u16string& commandLine, const std::string& rawTail) {
    Launcher l(platform, LauncherKind::Setup);
    if (startsWith(rawTail, "__qln_lang_restart")) l.languageRestart = true;
    return startAndReport(l, commandLine);
}

}  // namespace zendra
