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

// Whether the acceptor (if any) takes a runtime that passed.
bool accepted(const JvmLocation& found, JvmAcceptor* acceptor) {
    return acceptor == nullptr || acceptor->accept(found);
}

// A directory check with version check; the location text is the directory as given.
bool tryDirectory(Launcher& l, const std::string& dir, const VersionRange& range, JvmLocation& found) {
    found = {LocationKind::Directory, {}, dir};
    return checkJavaHomeDir(l, found.javaExe, dir, range, false);
}

// One location file (preferred or installer): its line, logged and checked as a Java home.
bool tryLocationFile(Launcher& l, bool preferred, const VersionRange& range, JvmLocation& found) {
    auto line = readJreConfigFile(l, preferred ? kPreferredLocationFile : kInstallerLocationFile);
    if (!line) return false;
    l.log.message(preferred ? "Has preferred location %s" : "Has installer location %s", line->c_str());
    if (!tryDirectory(l, *line, range, found)) return false;
    l.log.message(preferred ? "Using preferred location" : "Using installer location");
    return true;
}

// One entry of the first pass, its text expanded.
bool tryEntry(Launcher& l, std::string_view entry, const VersionRange& range, JvmLocation& found) {
    const char type = entry.front();
    std::string text(entry.substr(1));
    expandVariables(l, text);
    l.log.message("Testing location %s (type %c)", text.c_str(), type);
    if (isDirectoryEntry(type)) return tryDirectory(l, text, range, found);
    std::optional<std::string> javaExe = type == 'E'   ? checkEnvironmentJvm(l, text, range)
                                         : type == 'S' ? checkSearchPathJvm(l, range)
                                         : type == 'Y' ? findRegistryJvm(l, range)
                                                       : std::optional<std::string>();
    if (!javaExe) return false;
    if (type == 'Y') text.clear();
    const LocationKind kind = type == 'E' ? LocationKind::Variable
                            : type == 'S' ? LocationKind::SearchPath
                                          : LocationKind::Registry;
    found = {kind, std::move(*javaExe), std::move(text)};
    return true;
}

bool isAbsoluteText(const PathConventions& conv, std::string_view text) {
    if (!conv.windows) return !text.empty() && (text[0] == '/' || text[0] == '\\');
    return text.size() > 1 && (text[1] == ':' || (text[0] == '\\' && text[1] == '\\'));
}

// The last resort: directory entries as configured, accepted when their java.exe exists.
bool relativePass(Launcher& l, const std::vector<std::string>& entries, const VersionRange& range,
                  JvmAcceptor* acceptor, JvmLocation& found) {
    for (const std::string& entry : entries) {
        const char type = entry.front();
        const std::string_view text = std::string_view(entry).substr(1);
        if (!isDirectoryEntry(type) || (type != 'B' && isAbsoluteText(l.os.paths(), text))) continue;
        found = {LocationKind::Directory, {}, std::string(text)};
        l.log.message("Testing relative location %s", found.text.c_str());
        if (checkJavaHomeDir(l, found.javaExe, found.text, range, true) && fileExists(l, found.javaExe)) {
            l.log.message("%s exists", found.javaExe.c_str());
            if (accepted(found, acceptor)) return true;
        }
    }
    return false;
}

// Earlier installations of the application, per user then per machine.
bool previousInstallation(Launcher& l, const VersionRange& range, JvmAcceptor* acceptor, JvmLocation& found) {
    for (const Hive hive : {Hive::CurrentUser, Hive::LocalMachine}) {
        auto javaExe = findPreviousInstallation(l, hive, range);
        if (!javaExe) continue;
        l.log.message(hive == Hive::CurrentUser ? "found JRE from previous installation (user) %s"
                                                : "found JRE from previous installation (machine) %s",
                      javaExe->c_str());
        found = {LocationKind::Registry, std::move(*javaExe), {}};
        if (accepted(found, acceptor)) return true;
    }
    return false;
}

// The fixed tail after the search sequence: the two Java-home variables.
bool homeVariables(Launcher& l, const VersionRange& range, JvmAcceptor* acceptor, JvmLocation& found) {
    for (const char* name : {"ZENDRA_JAVA_HOME", "QUILLON_JAVA_HOME"}) {
        auto javaExe = checkEnvironmentJvm(l, name, range);
        if (!javaExe) continue;
        found = {LocationKind::Variable, std::move(*javaExe), name};
        if (accepted(found, acceptor)) return true;
    }
    return false;
}

}  // namespace

JvmLocation searchJVM(Launcher& l, JvmAcceptor* acceptor) {
    l.log.message("Searching for a JVM");
    const std::vector<std::string> entries = splitList(l.store.getProperty(prop::searchSequence));
    const VersionRange range = readVersionRange(l);
    JvmLocation found;
    if (tryLocationFile(l, true, range, found) && accepted(found, acceptor)) return found;
    for (const std::string& entry : entries)
        if (tryEntry(l, entry, range, found) && accepted(found, acceptor)) return found;
    if (tryLocationFile(l, false, range, found) && accepted(found, acceptor)) return found;
    if (relativePass(l, entries, range, acceptor, found)) return found;
    if (previousInstallation(l, range, acceptor, found)) return found;
    l.log.message("Search sequence finished");
    if (homeVariables(l, range, acceptor, found)) return found;
    found = {};
    return found;
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
