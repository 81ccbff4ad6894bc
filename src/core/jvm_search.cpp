#include "jvm_search.h"

#include <algorithm>

#include "expand.h"
#include "java_check.h"
#include "java_runtime.h"
#include "jvm_registry.h"
#include "paths.h"
#include "property_ids.h"

namespace zendra {
namespace {

constexpr std::size_t kConfigLineChars = 8191;

bool isDirectoryEntry(char type) { return type == 'A' || type == 'B' || type == 'R'; }

// A directory check with version check; the location text is the directory as given.
std::optional<JvmLocation> tryDirectory(Launcher& l, const std::string& dir, const VersionRange& range) {
    JvmLocation found{LocationKind::Directory, {}, dir};
    if (!checkJavaHomeDir(l, found.javaExe, dir, range, false)) return std::nullopt;
    return found;
}

// One location file (preferred or installer): its line, logged and checked as a Java home.
std::optional<JvmLocation> tryLocationFile(Launcher& l, bool preferred, const VersionRange& range) {
    auto line = readJreConfigFile(l, preferred ? kPreferredLocationFile : kInstallerLocationFile);
    if (!line) return std::nullopt;
    if (preferred)
        l.log.message("Has preferred location %s", line->c_str());
    else
        l.log.message("Has installer location %s", line->c_str());
    auto found = tryDirectory(l, *line, range);
    if (found) l.log.message(preferred ? "Using preferred location" : "Using installer location");
    return found;
}

// One entry of the first pass, its text expanded.
std::optional<JvmLocation> tryEntry(Launcher& l, const std::string& entry, const VersionRange& range) {
    const char type = entry.front();
    std::string text = entry.substr(1);
    expandVariables(l, text);
    l.log.message("Testing location %s (type %c)", text.c_str(), type);
    if (isDirectoryEntry(type)) return tryDirectory(l, text, range);
    if (type == 'E') {
        if (auto javaExe = checkEnvironmentJvm(l, text, range)) return JvmLocation{LocationKind::Variable, *javaExe, text};
    } else if (type == 'S') {
        if (auto javaExe = checkSearchPathJvm(l, range)) return JvmLocation{LocationKind::SearchPath, *javaExe, text};
    } else if (type == 'Y') {
        if (auto javaExe = findRegistryJvm(l, range)) return JvmLocation{LocationKind::Registry, *javaExe, {}};
    }
    return std::nullopt;
}

bool isAbsoluteText(const PathConventions& conv, const std::string& text) {
    if (!conv.windows) return !text.empty() && (text[0] == '/' || text[0] == '\\');
    return text.size() > 1 && (text[1] == ':' || (text[0] == '\\' && text[1] == '\\'));
}

// The last resort: directory entries as configured, accepted when their java.exe exists.
std::optional<JvmLocation> relativePass(Launcher& l, const std::vector<std::string>& entries,
                                        const VersionRange& range, const JvmAcceptor& accept) {
    for (const std::string& entry : entries) {
        const char type = entry.front();
        const std::string text = entry.substr(1);
        if (!isDirectoryEntry(type) || (type != 'B' && isAbsoluteText(l.os.paths(), text))) continue;
        l.log.message("Testing relative location %s", text.c_str());
        std::string javaExe;
        if (checkJavaHomeDir(l, javaExe, text, range, true) && fileExists(l, javaExe)) {
            l.log.message("%s exists", javaExe.c_str());
            JvmLocation found{LocationKind::Directory, javaExe, text};
            if (accept(found)) return found;
        }
    }
    return std::nullopt;
}

// Earlier installations of the application, per user then per machine.
std::optional<JvmLocation> previousInstallation(Launcher& l, const VersionRange& range, const JvmAcceptor& accept) {
    for (const Hive hive : {Hive::CurrentUser, Hive::LocalMachine}) {
        auto javaExe = findPreviousInstallation(l, hive, range);
        if (!javaExe) continue;
        if (hive == Hive::CurrentUser)
            l.log.message("found JRE from previous installation (user) %s", javaExe->c_str());
        else
            l.log.message("found JRE from previous installation (machine) %s", javaExe->c_str());
        JvmLocation found{LocationKind::Registry, *javaExe, {}};
        if (accept(found)) return found;
    }
    return std::nullopt;
}

// The fixed tail after the search sequence: the two Java-home variables.
std::optional<JvmLocation> homeVariables(Launcher& l, const VersionRange& range, const JvmAcceptor& accept) {
    for (const char* name : {"ZENDRA_JAVA_HOME", "QUILLON_JAVA_HOME"}) {
        if (auto javaExe = checkEnvironmentJvm(l, name, range)) {
            JvmLocation found{LocationKind::Variable, *javaExe, name};
            if (accept(found)) return found;
        }
    }
    return std::nullopt;
}

}  // namespace

JvmLocation searchJVM(Launcher& l, const JvmAcceptor& acceptor) {
    const JvmAcceptor accept = acceptor ? acceptor : [](const JvmLocation&) { return true; };
    const auto taken = [&](const std::optional<JvmLocation>& found) { return found && accept(*found); };
    l.log.message("Searching for a JVM");
    const std::vector<std::string> entries = splitList(l.store.getProperty(prop::searchSequence));
    const VersionRange range = readVersionRange(l);
    if (auto found = tryLocationFile(l, true, range); taken(found)) return *found;
    for (const std::string& entry : entries)
        if (auto found = tryEntry(l, entry, range); taken(found)) return *found;
    if (auto found = tryLocationFile(l, false, range); taken(found)) return *found;
    if (auto found = relativePass(l, entries, range, accept)) return *found;
    if (auto found = previousInstallation(l, range, accept)) return *found;
    l.log.message("Search sequence finished");
    if (auto found = homeVariables(l, range, accept)) return *found;
    return {};
}

std::optional<std::string> readJreConfigFile(Launcher& l, const std::string& suffix) {
    const std::string path = getFullPath(l, l.store.getProperty(prop::installationDirectory), true) +
                             toNativeSeparators(l.os.paths(), suffix);
    auto line = readFirstTextLine(l, path, kConfigLineChars);
    if (!line) return std::nullopt;
    while (!line->empty() && (line->back() == '\r' || line->back() == '\n')) line->pop_back();
    return line;
}

std::optional<std::string> checkEnvironmentJvm(Launcher& l, const std::string& name, const VersionRange& range) {
    auto value = l.os.env.get(name);
    if (!value || value->empty()) return std::nullopt;
    std::string home = *value;
    home = toNativeSeparators(l.os.paths(), home);
    std::string javaExe;
    if (!javaHomeToJavaExe(l, javaExe, home)) return std::nullopt;
    std::string version;
    if (!checkJavaExeWithCache(l, javaExe, version, range, false, true)) return std::nullopt;
    return javaExe;
}

std::optional<std::string> checkSearchPathJvm(Launcher& l, const VersionRange& range) {
    auto found = l.os.fs.searchPath(std::string(l.os.paths().javaProgram));
    if (!found) return std::nullopt;
    std::string javaExe = *found;
    std::string version;
    if (!checkJavaExeWithCache(l, javaExe, version, range, false, true)) return std::nullopt;
    return javaExe;
}

}  // namespace zendra
