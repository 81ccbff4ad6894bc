#include "launch_arguments.h"

#include "expand.h"
#include "paths.h"
#include "property_ids.h"
#include "text.h"

namespace zendra {
namespace {

std::u16string flagText(bool value) { return value ? u"true" : u"false"; }

// A configured path: expanded; made full against the executable directory unless it still
// starts with "$" (a reference that nothing expanded).
std::u16string configuredPath(Launcher& l, std::int32_t id) {
    std::string value = l.store.getProperty(id);
    expandVariables(l, value);
    if (value.empty() || value.front() != '$') value = getFullPath(l, value, true);
    return l.os.codec.fromFileCodePage(value);
}

std::u16string optionalPath(Launcher& l, std::int32_t enabledId, std::int32_t pathId) {
    return l.store.getIntProperty(enabledId) != 0 ? configuredPath(l, pathId) : std::u16string();
}

bool passedToMain(const std::u16string& argument, bool javaArgumentsTaken) {
    if (javaArgumentsTaken && startsWith(argument, u"-J")) return false;
    return !startsWith(argument, u"-Dsun.locale.formatasdefault=");
}

}  // namespace

std::string launcherClassName(const Launcher& l) {
    return isQuillonFlavour(l) ? "com/quillon/runtime/launcher/WinLauncher" : "com/zendra/runtime/WinLauncher";
}

std::vector<std::u16string> buildLaunchArguments(Launcher& l, const ArgumentList& arguments) {
    std::vector<std::u16string> list;
    list.push_back(flagText(l.store.getIntProperty(prop::launcherType) == 1));
    list.push_back(asciiToU16(l.store.getProperty(prop::launchText)));  // byte for code unit
    list.push_back(optionalPath(l, prop::launchPathAEnabled, prop::launchPathA));
    list.push_back(optionalPath(l, prop::launchPathBEnabled, prop::launchPathB));
    list.push_back(flagText(l.store.getIntProperty(prop::launchFlag) != 0));
    if (!arguments.empty()) list.push_back(arguments.front());
    std::string configured = l.store.getProperty(prop::launchArguments);
    expandVariables(l, configured);
    splitCommandLine(l.os.codec.fromAnsi(configured), list);
    const bool javaArgumentsTaken = l.store.getIntProperty(prop::acceptJavaArguments) != 0;
    for (std::size_t i = 1; i < arguments.size(); ++i)
        if (passedToMain(arguments[i], javaArgumentsTaken)) list.push_back(arguments[i]);
    return list;
}

}  // namespace zendra
