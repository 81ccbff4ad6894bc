#include "java_check.h"

#include <algorithm>

#include "java_runtime.h"
#include "jvm_registry.h"
#include "packed_runtime.h"
#include "paths.h"
#include "property_ids.h"
#include "text.h"

namespace zendra {
namespace {

constexpr std::uint32_t kStillActive = 259;
constexpr std::size_t kVersionLineChars = 99;
// How much of a "-version" output is looked through for the version line.
constexpr std::size_t kVersionOutputBytes = 64 * 1024;
// Deletion attempts of the output file, and the pause between two.
constexpr int kDeleteAttempts = 20;
constexpr std::uint32_t kDeleteRetryMs = 50;

// The first bytes of a file, at most limit; with firstLine only up to the read that brought the
// first line feed. nullopt when the file cannot be opened.
std::optional<std::string> readFileStart(Launcher& l, const std::string& path, std::size_t limit, bool firstLine) {
    std::uint32_t error = 0;
    auto file = l.os.fs.openRead(path, error);
    if (!file) return std::nullopt;
    std::string data;
    char chunk[1024];
    while (data.size() < limit && !(firstLine && data.find('\n') != std::string::npos)) {
        IoResult r = file->read(chunk, std::min(sizeof chunk, limit - data.size()));
        if (!r.ok || r.bytes == 0) break;
        data.append(chunk, r.bytes);
    }
    return data;
}

// Checks the version of an existing java.exe, from the cache or by running it.
bool checkVersion(Launcher& l, const std::string& javaExe, std::uint64_t lastWriteTime, std::string& version,
                  const VersionRange& range, bool allowBeta) {
    if (l.useVersionCache) {
        auto cached = lookupCachedVersion(l, javaExe, lastWriteTime);
        if (cached && *cached != kFailedRunMarker) {
            l.log.message("got version from registry %s", cached->c_str());
            version = std::move(*cached);
            return versionInRange(l, version, range, allowBeta);
        }
    }
    auto found = runJavaVersion(l, javaExe, lastWriteTime);
    if (!found) {
        l.log.message("couldn't get version");
        return false;
    }
    l.log.message("got version from execution %s", found->c_str());
    storeCachedVersion(l, javaExe, lastWriteTime, *found);
    version = std::move(*found);
    return versionInRange(l, version, range, allowBeta);
}

// A windowed application needs javaw.exe beside java.exe; the path is switched to it.
bool switchToWindowedExe(Launcher& l, std::string& javaExe) {
    if (!l.os.paths().windows) return fileExists(l, javaExe);  // one program serves both kinds there
    if (!endsWithIgnoreCase(javaExe, "javaw.exe") && javaExe.size() >= 4)
        javaExe.replace(javaExe.size() - 4, 4, "w.exe");
    return fileExists(l, javaExe);
}

// The version text of a finished "-version" run's output file: the first version line. Runtimes
// print "Picked up ..." notes (JAVA_TOOL_OPTIONS and the like) and VM warnings before it.
std::optional<std::string> versionFromOutput(Launcher& l, const std::string& outputFile) {
    const std::optional<std::string> read = readFileStart(l, outputFile, kVersionOutputBytes, false);
    if (!read) return std::nullopt;
    const std::string& output = *read;
    for (std::size_t start = 0; start < output.size();) {
        const std::size_t end = std::min(output.find('\n', start), output.size());
        const std::string_view line(output.data() + start, end - start);
        if (auto version = parseVersionLine(line.substr(0, kVersionLineChars))) {
            l.log.message("Java version: %s", version->c_str());
            return version;
        }
        start = end + 1;
    }
    return std::nullopt;
}

// Deletes the output file of a "-version" run. The child's handle on it can outlive the child
// for a moment (a system still starting up is slow to close it), so a failed deletion is
// tried again for a while.
void deleteOutputFile(Launcher& l, const std::string& outputFile) {
    std::uint32_t error = 0;
    for (int attempt = 1; !l.os.fs.deleteFileWithError(outputFile, error) && fileExists(l, outputFile); ++attempt) {
        if (attempt == kDeleteAttempts) {
            l.log.error("could not delete %s (error %d)", outputFile.c_str(), static_cast<int>(error));
            return;
        }
        l.os.sync.sleep(kDeleteRetryMs);
    }
}

}  // namespace

bool fileExists(Launcher& l, const std::string& path) { return pathExists(l, path); }

bool javaHomeToJavaExe(Launcher& l, std::string& javaExe, const std::string& home) {
    const PathConventions& conv = l.os.paths();
    const std::string_view java = conv.javaProgram;
    const std::string_view s(&conv.separator, 1);
    javaExe = concat({home, s, "jre", s, "bin", s, java});
    if (l.store.getIntProperty(prop::requireJdk) != 0) return fileExists(l, concat({home, s, "lib", s, "tools.jar"}));
    if (!fileExists(l, javaExe)) javaExe.erase(home.size() + 1, 4);  // home\bin\java.exe
    return true;
}

bool checkJavaHomeDir(Launcher& l, std::string& javaExe, const std::string& directory, const VersionRange& range,
                      bool skipCheck) {
    const std::string home = getFullPath(l, directory, false);
    const bool prepared = unpackJars(l, home);
    const bool derived = javaHomeToJavaExe(l, javaExe, home);
    if (!prepared) {
        l.log.error("%s holds packed jars but no usable unpacker", home.c_str());
        return false;
    }
    if (skipCheck) return true;
    if (!derived) return false;
    std::string version;
    return checkJavaExeWithCache(l, javaExe, version, range, true, true);
}

bool checkJavaExe(Launcher& l, std::string& javaExe, std::string& version, const VersionRange& range,
                  bool allowBeta) {
    l.log.message("checkJavaExe (%s, [out], %s, %s, %d)", javaExe.c_str(), range.minimum.c_str(),
                  range.maximum.c_str(), allowBeta ? 1 : 0);
    javaExe = getFullPath(l, javaExe, false);
    version.clear();
    bool result = false;
    if (auto entry = l.os.fs.find(javaExe)) {
        l.log.message("file exists");
        result = checkVersion(l, javaExe, entry->lastWriteTime, version, range, allowBeta);
    } else {
        l.log.message("file doesn't exist");
    }
    if (result && l.store.getIntProperty(prop::launcherType) == 1) result = switchToWindowedExe(l, javaExe);
    l.log.message("checkJavaExe returning %d", result ? 1 : 0);
    return result;
}

bool checkJavaExeWithCache(Launcher& l, std::string& javaExe, std::string& version, const VersionRange& range,
                           bool allowBeta, bool useCache) {
    l.useVersionCache = useCache;
    const bool result = checkJavaExe(l, javaExe, version, range, allowBeta);
    l.useVersionCache = true;
    return result;
}

std::optional<std::string> runJavaVersion(Launcher& l, const std::string& javaExe, std::uint64_t lastWriteTime) {
    // The short form keeps the command line free of blanks where the system offers one; the
    // quotes keep a path with blanks one argument where it does not.
    const std::optional<std::string> shortForm = l.os.fs.shortPathName(javaExe);
    const std::string commandLine = concat({"\"", shortForm ? *shortForm : javaExe, "\" -version"});
    const std::string outputFile = createTempFileName(l);
    const ChildRun run = l.os.process.runHidden(commandLine, outputFile, kVersionRunTimeoutMs);
    std::optional<std::string> version;
    if (!run.started) {
        l.log.message("Could not create process %s > %s (error %d)", commandLine.c_str(), outputFile.c_str(),
                      static_cast<int>(run.error));
    } else {
        l.log.message("Exit Code %d", static_cast<int>(run.exitCode));
        if (run.terminated || run.exitCode == kStillActive)
            l.log.message("Terminating process");
        else if (run.exitCode != 0)
            storeCachedVersion(l, javaExe, lastWriteTime, kFailedRunMarker);
        else
            version = versionFromOutput(l, outputFile);
    }
    deleteOutputFile(l, outputFile);
    return version;
}

std::optional<std::string> readFirstTextLine(Launcher& l, const std::string& path, std::size_t maxChars) {
    // Text mode reads CR LF as LF, so twice the characters in raw bytes always suffice.
    auto raw = readFileStart(l, path, 2 * maxChars + 2, true);
    if (!raw || raw->empty()) return std::nullopt;
    std::string line;
    for (std::size_t i = 0; i < raw->size() && line.size() < maxChars; ++i) {
        if ((*raw)[i] == '\r' && i + 1 < raw->size() && (*raw)[i + 1] == '\n') continue;
        line.push_back((*raw)[i]);
        if (line.back() == '\n') break;
    }
    return line;
}

}  // namespace zendra
