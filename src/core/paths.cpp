#include "paths.h"

#include <algorithm>
#include <cstdlib>

#include "errors.h"
#include "property_ids.h"
#include "text.h"

namespace zendra {
namespace {

bool acceptableExePath(const PathConventions& conv, const Narrowed& n) {
    return !n.usedDefault && !n.text.empty() && (!conv.windows || endsWithIgnoreCase(n.text, ".exe"));
}

std::string findExecutablePath(Launcher& l) {
    ProcessServices& proc = l.os.process;
    if (!proc.hasWideLongPath()) return proc.moduleFileNameA();
    std::u16string longForm = proc.moduleFileNameW();
    if (auto found = proc.longPathNameW(longForm)) longForm = std::move(*found);
    Narrowed n = l.os.codec.toFileCodePage(longForm);
    if (acceptableExePath(l.os.paths(), n)) return std::move(n.text);
    const std::optional<std::u16string> shortForm = proc.shortPathNameW(longForm);
    n = l.os.codec.toFileCodePage(shortForm ? *shortForm : longForm);
    if (acceptableExePath(l.os.paths(), n)) return std::move(n.text);
    const std::string narrow = proc.moduleFileNameA();
    return l.os.fs.shortPathName(narrow).value_or(narrow);
}

// The system's full form of a path, the path itself when there is none.
std::string fullPathOr(Launcher& l, const std::string& path) { return l.os.fs.fullPathName(path).value_or(path); }

// A variable's value, "" when it is unset.
std::string variableOrEmpty(Launcher& l, const char* name) { return l.os.env.get(name).value_or(std::string()); }

// Takes the narrow form of a changed wide path unless a character could not be mapped.
void narrowBack(std::string& path, TextCodec& codec, const std::u16string& wide) {
    Narrowed back = codec.toFileCodePage(wide);
    if (!back.usedDefault) path = std::move(back.text);
}

// The first writable of the last-resort temporary directories, "" when there is none.
std::string fallbackTempDirectory(Launcher& l) {
    if (!l.os.paths().windows) {
        for (std::string_view candidate : {"/tmp", "/var/tmp"})
            if (isWritableDirectory(l, candidate)) return std::string(candidate);
        return {};
    }
    const std::string windows = l.os.fs.windowsDirectory();
    const std::string windowsTemp = concat({windows, "\\temp"});
    for (std::string_view candidate : {std::string_view(windowsTemp), std::string_view("c:\\temp"),
                                       std::string_view("c:\\tmp"), std::string_view(windows)})
        if (isWritableDirectory(l, candidate)) return std::string(candidate);
    std::uint32_t code = 0;
    if (isWritableDirectory(l, "c:\\")) {
        l.os.fs.createDirectory("c:\\tmp", code);
        if (isWritableDirectory(l, "c:\\tmp")) return "c:\\tmp";
    }
    return {};
}

}  // namespace

const std::string& getExecutablePath(Launcher& l) {
    if (!l.executablePathCache) {
        std::string path = findExecutablePath(l);
        collapseBackslashes(path, l.os.codec, l.os.paths());
        l.executablePathCache = std::move(path);
    }
    return *l.executablePathCache;
}

const std::string& getExecutableDirectory(Launcher& l) {
    if (!l.executableDirCache) l.executableDirCache = directoryPart(l.os.paths(), fullPathOr(l, getExecutablePath(l)));
    return *l.executableDirCache;
}

bool isRelativePath(std::string_view path, const PathConventions& conventions) {
    if (!path.empty() && path.front() == '"') path.remove_prefix(1);
    if (!conventions.windows) return path.empty() || path.front() != '/';
    if (path.size() < 3) return true;
    if (path[1] == ':' && path[2] == '\\') return false;
    return !(path[0] == '\\' && path[1] == '\\');
}

void collapseBackslashes(std::string& path, TextCodec& codec, const PathConventions& conventions) {
    const auto separator = static_cast<char16_t>(conventions.separator);
    std::u16string wide = codec.fromFileCodePage(path);
    std::size_t kept = std::min<std::size_t>(wide.size(), 2);
    for (std::size_t i = kept; i < wide.size(); ++i)
        if (wide[i] != separator || wide[kept - 1] != separator) wide[kept++] = wide[i];
    wide.resize(kept);
    narrowBack(path, codec, wide);
}

void lowerCasePath(std::string& path, TextCodec& codec) {
    std::u16string wide = codec.fromFileCodePage(path);
    for (char16_t& c : wide)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    narrowBack(path, codec, wide);
}

std::string resolvePath(Launcher& l, std::string_view path, const std::string* referenceFile) {
    const PathConventions& conv = l.os.paths();
    std::string result(path);
    if (!conv.windows) result = toNativeSeparators(conv, std::move(result));
    if (isRelativePath(result, conv)) {
        if (referenceFile != nullptr)
            result.insert(0, directoryPart(conv, fullPathOr(l, *referenceFile)));
        else
            result.insert(0, getExecutableDirectory(l));
    }
    collapseBackslashes(result, l.os.codec, conv);
    return result;
}

std::string getFullPath(Launcher& l, const std::string& path, bool keepCase) {
    std::string full = fullPathOr(l, resolvePath(l, path));
    if (!keepCase && l.os.paths().windows) lowerCasePath(full, l.os.codec);
    collapseBackslashes(full, l.os.codec, l.os.paths());
    return full;
}

bool pathExists(Launcher& l, const std::string& path) {
    if (path.size() >= 2 && l.os.paths().windows) {
        const std::string_view rest = std::string_view(path).substr(1);
        for (std::string_view root : {":\\", ":\\.", ":\\.\\."})
            if (rest == root) return true;
    }
    return l.os.fs.find(path).has_value();
}

std::optional<std::uint64_t> getFileWriteTime(Launcher& l, const std::string& path) {
    auto entry = l.os.fs.find(path);
    if (!entry) return std::nullopt;
    return entry->lastWriteTime;
}

std::string resolvePathList(Launcher& l, std::string_view list) {
    const char separator = l.os.paths().listSeparator;
    // The record separates with ";"; an expanded separator variable gives the system's own.
    const char* separators = l.os.paths().windows ? ";" : ";:";
    std::string out;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t end = std::min(list.find_first_of(separators, start), list.size());
        if (end > start) {
            if (!out.empty()) out += separator;
            out += resolvePath(l, list.substr(start, end - start));
        }
        start = end + 1;
    }
    return out;
}

std::vector<std::string> listFilesWithExtension(Launcher& l, const std::string& dir, std::string_view extension) {
    std::string pattern = joinPath(l.os.paths(), dir, "*");
    if (!startsWith(extension, ".")) pattern += '.';
    pattern += extension;
    std::vector<std::string> names;
    for (auto& entry : l.os.fs.list(pattern)) names.push_back(std::move(entry.name));
    return names;
}

std::string getTempDirectory(Launcher& l) {
    const PathConventions& conv = l.os.paths();
    TempPathResult temp = l.os.fs.tempPath();
    l.log.message("GetTempPath returned %d (last error %d)", static_cast<int>(temp.length), static_cast<int>(temp.error));
    std::string dir;
    if (temp.length > 0) dir = std::move(temp.path);
    if (dir.empty()) {
        dir = variableOrEmpty(l, conv.windows ? "HOMEDRIVE" : "HOME");
        if (conv.windows) dir += variableOrEmpty(l, "HOMEPATH");
        l.log.message("No temp dir defined. Using home %s", dir.c_str());
    } else {
        std::uint32_t code = 0;
        l.log.message("make dir returned %d", l.os.fs.createDirectory(dir, code) ? 0 : -1);
    }
    const std::optional<std::string> longForm = l.os.fs.longPathName(dir);
    if ((longForm ? *longForm : dir).find('?') == std::string::npos) return withTrailingSeparator(conv, std::move(dir));
    dir = fallbackTempDirectory(l);
    if (!dir.empty()) return withTrailingSeparator(conv, std::move(dir));
    fatalPropertyWithArgument(l, prop::errorNoTempDir);
}

bool isWritableDirectory(Launcher& l, std::string_view dir) {
    const std::string probe = concat({dir, std::string_view(&l.os.paths().separator, 1), "znd_w_testdir"});
    l.os.fs.removeDirectory(probe);
    std::uint32_t code = 0;
    if (!l.os.fs.createDirectory(probe, code)) return false;
    const bool exists = pathExists(l, probe);
    l.os.fs.removeDirectory(probe);
    return exists;
}

std::string createTempFileName(Launcher& l) {
    const std::string dir = getTempDirectory(l);
    l.log.message("tempPath is %s", dir.c_str());
    std::uint32_t code = 0;
    std::string name;
    if (auto unique = l.os.fs.tempFileName(dir, "znd", code)) {
        name = std::move(*unique);
    } else {
        l.log.message("GetTempFileName failed (last error %d)", static_cast<int>(code));
        std::srand(static_cast<unsigned>(l.os.clock.now()));
        name = formatText("%sznd%d", dir.c_str(), std::rand());
    }
    l.log.message("tempFile is %s", name.c_str());
    return name;
}

namespace {

// The user's private directory of a system whose temporary path is shared; fatal when none.
std::string getPosixPrivateDirectory(Launcher& l) {
    std::uint32_t code = 0;
    if (auto dir = l.os.fs.privateDirectory(code)) return withTrailingSeparator(l.os.paths(), *dir);
    l.log.error("no private temporary directory (error %d)", static_cast<int>(code));
    fatalPropertyWithArgument(l, prop::errorNoTempDir);
}

}  // namespace

std::string getPrivateDirectory(Launcher& l) {
    if (!l.os.paths().windows) return getPosixPrivateDirectory(l);
    // Windows hands every user a temporary path of his own.
    return getTempDirectory(l);
}

std::string getPidFileName(Launcher& l, std::uint32_t processId) {
    return formatText("%sznd_p%d.tmp", getPrivateDirectory(l).c_str(), static_cast<int>(processId));
}

namespace {

// Logs the outcome of one attempt at the per-run directory.
bool reportTempDir(Launcher& l, bool made, std::uint32_t code) {
    l.log.message("Temp dir: %s", l.launcherTempDir.c_str());
    if (!made) l.log.message("Could not create dir (%d)", static_cast<int>(code));
    return made;
}

// One attempt at the per-run directory under a name of the temporary-file service; the empty
// file that reserved the name goes again, so that no run leaves one behind.
bool tryTempDirFromFileName(Launcher& l) {
    const std::string name = createTempFileName(l);
    l.launcherTempDir = formatText("%s_dir%d", name.c_str(), static_cast<std::int32_t>(l.os.clock.now()));
    std::uint32_t code = 0;
    const bool made = l.os.fs.createDirectory(l.launcherTempDir, code);
    l.os.fs.deleteFile(name);
    return reportTempDir(l, made, code);
}

// One attempt at the per-run directory as a fresh directory of the user's private one (a
// fresh directory of the temporary one is as safe when there is none).
bool tryPrivateTempDir(Launcher& l) {
    std::uint32_t code = 0;
    std::optional<std::string> parent = l.os.fs.privateDirectory(code);
    if (!parent) parent = getTempDirectory(l);
    auto made = l.os.fs.createUniqueDirectory(*parent, "znd_dir", code);
    l.launcherTempDir = made ? std::move(*made) : std::string();
    return reportTempDir(l, made.has_value(), code);
}

// One attempt at the per-run directory in the way of this system.
bool tryTempDir(Launcher& l) {
    if (!l.os.paths().windows) return tryPrivateTempDir(l);
    return tryTempDirFromFileName(l);
}

}  // namespace

void createLauncherTempDir(Launcher& l) {
    for (int attempt = 0; attempt < 10; ++attempt)
        if (tryTempDir(l)) return;
    l.launcherTempDir.clear();
    fatalPropertyWithArgument(l, prop::errorInternal, "7");
}

void emptyDirectory(Launcher& l, const std::string& dir, bool recurse) {
    if (dir.empty() || dir.front() == '.') return;
    l.log.message("emptying %s", dir.c_str());
    const std::string prefix = withTrailingSeparator(l.os.paths(), dir);
    for (const auto& entry : l.os.fs.list(prefix + "*.*")) {
        if (entry.name == "." || entry.name == "..") continue;
        const std::string full = prefix + entry.name;
        if (entry.isDirectory) {
            l.log.message("attempting to remove %s (%d)", full.c_str(), recurse ? 1 : 0);
            if (recurse) emptyDirectory(l, full, false);
            l.os.fs.removeDirectory(full);
        } else {
            l.log.message("attempting to delete %s", full.c_str());
            l.os.fs.deleteFile(full);
        }
    }
}

}  // namespace zendra
