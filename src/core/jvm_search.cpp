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

// The location when the acceptor (if any) takes it, else nullopt.
std::optional<JvmLocation> taken(std::optional<JvmLocation> found, JvmAcceptor* acceptor) {
    if (found && acceptor != nullptr && !acceptor->accept(*found)) found.reset();
    return found;
}

// One location file (preferred or installer): its line, logged and checked as a Java home.
std::optional<JvmLocation> tryLocationFile(Launcher& l, bool preferred, const VersionRange& range) {
    auto line = readJreConfigFile(l, preferred ? kPreferredLocationFile : kInstallerLocationFile);
    if (!line) return std::nullopt;
    l.log.message(preferred ? "Has preferred location %s" : "Has installer location %s", line->c_str());
    auto found = tryDirectory(l, *line, range);
    if (found) l.log.message(preferred ? "Using preferred location" : "Using installer location");
    return found;
}

// One entry of the first pass, its text expanded.
std::optional<JvmLocation> tryEntry(Launcher& l, std::string_view entry, const VersionRange& range) {
    const char type = entry.front();
    std::string text(entry.substr(1));
    expandVariables(l, text);
    l.log.message("Testing location %s (type %c)", text.c_str(), type);
    if (isDirectoryEntry(type)) return tryDirectory(l, text, range);
    std::optional<std::string> javaExe;
    LocationKind kind = LocationKind::Registry;
    if (type == 'E') {
        javaExe = checkEnvironmentJvm(l, text, range);
        kind = LocationKind::Variable;
    } else if (type == 'S') {
        javaExe = checkSearchPathJvm(l, range);
        kind = LocationKind::SearchPath;
    } else if (type == 'Y') {
        javaExe = findRegistryJvm(l, range);
        text.clear();
    }
    if (!javaExe) return std::nullopt;
    return JvmLocation{kind, std::move(*javaExe), std::move(text)};
}

bool isAbsoluteText(const PathConventions& conv, std::string_view text) {
    if (!conv.windows) return !text.empty() && (text[0] == '/' || text[0] == '\\');
    return text.size() > 1 && (text[1] == ':' || (text[0] == '\\' && text[1] == '\\'));
}

// The last resort: directory entries as configured, accepted when their java.exe exists.
std::optional<JvmLocation> relativePass(Launcher& l, const std::vector<std::string>& entries,
                                        const VersionRange& range, JvmAcceptor* acceptor) {
    for (const std::string& entry : entries) {
        const char type = entry.front();
        const std::string text = entry.substr(1);
        if (!isDirectoryEntry(type) || (type != 'B' && isAbsoluteText(l.os.paths(), text))) continue;
        l.log.message("Testing relative location %s", text.c_str());
        std::string javaExe;
        if (checkJavaHomeDir(l, javaExe, text, range, true) && fileExists(l, javaExe)) {
            l.log.message("%s exists", javaExe.c_str());
            if (auto found = taken(JvmLocation{LocationKind::Directory, std::move(javaExe), text}, acceptor))
                return found;
        }
    }
    return std::nullopt;
}

// Earlier installations of the application, per user then per machine.
std::optional<JvmLocation> previousInstallation(Launcher& l, const VersionRange& range, JvmAcceptor* acceptor) {
    for (const Hive hive : {Hive::CurrentUser, Hive::LocalMachine}) {
        auto javaExe = findPreviousInstallation(l, hive, range);
        if (!javaExe) continue;
        l.log.message(hive == Hive::CurrentUser ? "found JRE from previous installation (user) %s"
                                                : "found JRE from previous installation (machine) %s",
                      javaExe->c_str());
        if (auto found = taken(JvmLocation{LocationKind::Registry, std::move(*javaExe), {}}, acceptor)) return found;
    }
    return std::nullopt;
}

// The fixed tail after the search sequence: the two Java-home variables.
std::optional<JvmLocation> homeVariables(Launcher& l, const VersionRange& range, JvmAcceptor* acceptor) {
    for (const char* name : {"ZENDRA_JAVA_HOME", "QUILLON_JAVA_HOME"}) {
        if (auto javaExe = checkEnvironmentJvm(l, name, range))
            if (auto found = taken(JvmLocation{LocationKind::Variable, std::move(*javaExe), name}, acceptor))
                return found;
    }
    return std::nullopt;
}

}  // namespace

JvmLocation searchJVM(Launcher& l, JvmAcceptor* acceptor) {
    l.log.message("Searching for a JVM");
    const std::vector<std::string> entries = splitList(l.store.getProperty(prop::searchSequence));
    const VersionRange range = readVersionRange(l);
    auto found = taken(tryLocationFile(l, true, range), acceptor);
    for (std::size_t i = 0; !found && i < entries.size(); ++i) found = taken(tryEntry(l, entries[i], range), acceptor);
    if (!found) found = taken(tryLocationFile(l, false, range), acceptor);
    if (!found) found = relativePass(l, entries, range, acceptor);
    if (!found) found = previousInstallation(l, range, acceptor);
    if (!found) {
        l.log.message("Search sequence finished");
        found = homeVariables(l, range, acceptor);
    }
    return found ? std::move(*found) : JvmLocation{};
}

std::optional<std::string> readJreConfigFile(Launcher& l, std::string_view suffix) {
    std::string path = getFullPath(l, l.store.getProperty(prop::installationDirectory), true);
    path += toNativeSeparators(l.os.paths(), std::string(suffix));
    auto line = readFirstTextLine(l, path, kConfigLineChars);
    if (!line) return std::nullopt;
    while (!line->empty() && (line->back() == '\r' || line->back() == '\n')) line->pop_back();
    return line;
}

std::optional<std::string> checkEnvironmentJvm(Launcher& l, const std::string& name, const VersionRange& range) {
    auto value = l.os.env.get(name);
    if (!value || value->empty()) return std::nullopt;
    std::string javaExe;
    if (!javaHomeToJavaExe(l, javaExe, toNativeSeparators(l.os.paths(), std::move(*value)))) return std::nullopt;
    std::string version;
    if (!checkJavaExeWithCache(l, javaExe, version, range, false, true)) return std::nullopt;
    return javaExe;
}

std::optional<std::string> checkSearchPathJvm(Launcher& l, const VersionRange& range) {
    auto javaExe = l.os.fs.searchPath(std::string(l.os.paths().javaProgram));
    std::string version;
    if (!javaExe || !checkJavaExeWithCache(l, *javaExe, version, range, false, true)) return std::nullopt;
    return javaExe;
}

}  // namespace zendra
