#include "entry.h"

#include "errors.h"
#include "launcher.h"
#include "property_ids.h"
#include "text.h"

namespace zendra {
namespace {

constexpr int kWordSize = static_cast<int>(sizeof(void*) * 8);
constexpr int kExitNoRuntime = 83;

// The common part of every flow after the entry's own markers: split, start up,
// and, until a runtime can be located, end in the launcher's "no runtime" path.
int startAndReport(Launcher& l, const std::u16string& commandLine) {
    ArgumentList args;
    splitCommandLine(commandLine, args);
    launcherInit(l, &args);
    l.log.message("No Java runtime can be located by this build");
    showPropertyError(l, prop::errorNoJvm, std::to_string(kWordSize));
    fatalExit(l, kExitNoRuntime);
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
