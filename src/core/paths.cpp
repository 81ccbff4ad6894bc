#include "paths.h"

#include <cstdlib>

#include "errors.h"
#include "property_ids.h"
#include "text.h"

namespace zendra {
namespace {

bool acceptableExePath(const PathConventions& conv, const Narrowed& n) {
    if (!conv.windows) return !n.usedDefault && !n.text.empty();
    return !n.usedDefault && n.text.size() >= 4 && endsWithIgnoreCase(n.text, ".exe");
}

std::string findExecutablePath(Launcher& l) {
    ProcessServices& proc = l.os.process;
    if (!proc.hasWideLongPath()) return proc.moduleFileNameA();
    const std::u16string module = proc.moduleFileNameW();
    const std::u16string longForm = proc.longPathNameW(module).value_or(module);
    Narrowed n = l.os.codec.toFileCodePage(longForm);
    if (acceptableExePath(l.os.paths(), n)) return n.text;
    n = l.os.codec.toFileCodePage(proc.shortPathNameW(longForm).value_or(longForm));
    if (acceptableExePath(l.os.paths(), n)) return n.text;
    const std::string narrow = proc.moduleFileNameA();
    return l.os.fs.shortPathName(narrow).value_or(narrow);
}

std::optional<std::string> fallbackTempDirectory(Launcher& l) {
    if (!l.os.paths().windows) {
        for (const char* candidate : {"/tmp", "/var/tmp"})
            if (isWritableDirectory(l, candidate)) return std::string(candidate);
        return std::nullopt;
    }
    const std::string windows = l.os.fs.windowsDirectory();
    for (const std::string& candidate : {windows + "\\temp", std::string("c:\\temp"), std::string("c:\\tmp"), windows})
        if (isWritableDirectory(l, candidate)) return candidate;
    std::uint32_t code = 0;
    if (isWritableDirectory(l, "c:\\")) {
        l.os.fs.createDirectory("c:\\tmp", code);
        if (isWritableDirectory(l, "c:\\tmp")) return std::string("c:\\tmp");
    }
    return std::nullopt;
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
    if (!l.executableDirCache) {
        const std::string& exe = getExecutablePath(l);
        l.executableDirCache = directoryPart(l.os.paths(), l.os.fs.fullPathName(exe).value_or(exe));
    }
    return *l.executableDirCache;
}

bool isRelativePath(const std::string& path, const PathConventions& conventions) {
    if (!conventions.windows) {
        std::string_view p = path;
        if (!p.empty() && p.front() == '"') p.remove_prefix(1);
        return p.empty() || p.front() != '/';
    }
    if (path.size() < 3) return true;
    std::string_view p = path;
    if (p.front() == '"') {
        p.remove_prefix(1);
        if (p.size() < 3) return true;
    }
    if (p[1] == ':' && p[2] == '\\') return false;
    return !(p[0] == '\\' && p[1] == '\\');
}

void collapseBackslashes(std::string& path, TextCodec& codec, const PathConventions& conventions) {
    const auto separator = static_cast<char16_t>(conventions.separator);
    const std::u16string wide = codec.fromFileCodePage(path);
    std::u16string out = wide.substr(0, 2);
    for (std::size_t i = out.size(); i < wide.size(); ++i) {
        if (wide[i] == separator && out.back() == separator) continue;
        out.push_back(wide[i]);
    }
    Narrowed back = codec.toFileCodePage(out);
    if (!back.usedDefault) path = std::move(back.text);
}

void lowerCasePath(std::string& path, TextCodec& codec) {
    std::u16string wide = codec.fromFileCodePage(path);
    for (char16_t& c : wide)
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    Narrowed back = codec.toFileCodePage(wide);
    if (!back.usedDefault) path = std::move(back.text);
}

std::string resolvePath(Launcher& l, const std::string& path, const std::string* referenceFile) {
    const PathConventions& conv = l.os.paths();
    std::string result = conv.windows ? path : toNativeSeparators(conv, path);
    if (isRelativePath(result, conv)) {
        std::string base = getExecutableDirectory(l);
        if (referenceFile != nullptr)
            base = directoryPart(conv, l.os.fs.fullPathName(*referenceFile).value_or(*referenceFile));
        result = base + result;
    }
    collapseBackslashes(result, l.os.codec, conv);
    return result;
}

std::string getFullPath(Launcher& l, const std::string& path, bool keepCase) {
    std::string resolved = resolvePath(l, path);
    std::string full = l.os.fs.fullPathName(resolved).value_or(resolved);
    if (!keepCase && l.os.paths().windows) lowerCasePath(full, l.os.codec);
    collapseBackslashes(full, l.os.codec, l.os.paths());
    return full;
}

bool pathExists(Launcher& l, const std::string& path) {
    if (path.size() >= 2 && l.os.paths().windows) {
        std::string_view rest = std::string_view(path).substr(1);
        if (rest == ":\\" || rest == ":\\." || rest == ":\\.\\.") return true;
    }
    return l.os.fs.find(path).has_value();
}

std::optional<std::uint64_t> getFileWriteTime(Launcher& l, const std::string& path) {
    auto entry = l.os.fs.find(path);
    if (!entry) return std::nullopt;
    return entry->lastWriteTime;
}

std::string resolvePathList(Launcher& l, const std::string& list) {
    const char separator = l.os.paths().listSeparator;
    // The record separates with ";"; an expanded separator variable gives the system's own.
    const char* separators = l.os.paths().windows ? ";" : ";:";
    std::string out;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find_first_of(separators, start);
        if (end == std::string::npos) end = list.size();
        if (end > start) {
            if (!out.empty()) out += separator;
            out += resolvePath(l, list.substr(start, end - start));
        }
        start = end + 1;
    }
    return out;
}

std::vector<std::string> listFilesWithExtension(Launcher& l, const std::string& dir, const std::string& extension) {
    std::string pattern = joinPath(l.os.paths(), dir, "*") + (startsWith(extension, ".") ? "" : ".") + extension;
    std::vector<std::string> names;
    for (const auto& entry : l.os.fs.list(pattern)) names.push_back(entry.name);
    return names;
}

std::string getTempDirectory(Launcher& l) {
    TempPathResult temp = l.os.fs.tempPath();
    l.log.message("GetTempPath returned %d (last error %d)", static_cast<int>(temp.length), static_cast<int>(temp.error));
    std::string dir = temp.length > 0 ? temp.path : std::string();
    if (dir.empty()) {
        dir = l.os.paths().windows ? l.os.env.get("HOMEDRIVE").value_or("") + l.os.env.get("HOMEPATH").value_or("")
                                   : l.os.env.get("HOME").value_or("");
        l.log.message("No temp dir defined. Using home %s", dir.c_str());
    } else {
        std::uint32_t code = 0;
        l.log.message("make dir returned %d", l.os.fs.createDirectory(dir, code) ? 0 : -1);
    }
    const std::string longForm = l.os.fs.longPathName(dir).value_or(dir);
    if (longForm.find('?') == std::string::npos) return withTrailingSeparator(l.os.paths(), dir);
    if (auto fallback = fallbackTempDirectory(l)) return withTrailingSeparator(l.os.paths(), *fallback);
    fatalPropertyWithArgument(l, prop::errorNoTempDir);
}

bool isWritableDirectory(Launcher& l, const std::string& dir) {
    const std::string probe = dir + l.os.paths().separator + "znd_w_testdir";
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
        name = *unique;
    } else {
        l.log.message("GetTempFileName failed (last error %d)", static_cast<int>(code));
        std::srand(static_cast<unsigned>(l.os.clock.now()));
        name = formatText("%sznd%d", dir.c_str(), std::rand());
    }
    l.log.message("tempFile is %s", name.c_str());
    return name;
}

std::string getPrivateDirectory(Launcher& l) {
    // Windows hands every user a temporary path of his own.
    if (l.os.paths().windows) return getTempDirectory(l);
    std::uint32_t code = 0;
    if (auto dir = l.os.fs.privateDirectory(code)) return withTrailingSeparator(l.os.paths(), *dir);
    l.log.error("no private temporary directory (error %d)", static_cast<int>(code));
    fatalPropertyWithArgument(l, prop::errorNoTempDir);
}

std::string getPidFileName(Launcher& l, std::uint32_t processId) {
    return formatText("%sznd_p%d.tmp", getPrivateDirectory(l).c_str(), static_cast<int>(processId));
}

namespace {

// One attempt at the per-run directory under a name of the temporary-file service; the empty
// file that reserved the name goes again, so that no run leaves one behind.
bool tryTempDirFromFileName(Launcher& l) {
    const std::string name = createTempFileName(l);
    l.launcherTempDir = formatText("%s_dir%d", name.c_str(), static_cast<std::int32_t>(l.os.clock.now()));
    l.log.message("Temp dir: %s", l.launcherTempDir.c_str());
    std::uint32_t code = 0;
    const bool made = l.os.fs.createDirectory(l.launcherTempDir, code);
    l.os.fs.deleteFile(name);
    if (!made) l.log.message("Could not create dir (%d)", static_cast<int>(code));
    return made;
}

// One attempt at the per-run directory as a fresh directory of the user's private one (a
// fresh directory of the temporary one is as safe when there is none).
bool tryPrivateTempDir(Launcher& l) {
    std::uint32_t code = 0;
    std::optional<std::string> parent = l.os.fs.privateDirectory(code);
    if (!parent) parent = getTempDirectory(l);
    auto made = l.os.fs.createUniqueDirectory(*parent, "znd_dir", code);
    l.launcherTempDir = made.value_or("");
    l.log.message("Temp dir: %s", l.launcherTempDir.c_str());
    if (!made) l.log.message("Could not create dir (%d)", static_cast<int>(code));
    return made.has_value();
}

}  // namespace

void createLauncherTempDir(Launcher& l) {
    const bool privateDir = !l.os.paths().windows;
    for (int attempt = 0; attempt < 10; ++attempt)
        if (privateDir ? tryPrivateTempDir(l) : tryTempDirFromFileName(l)) return;
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
