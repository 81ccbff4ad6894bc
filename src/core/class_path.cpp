#include "class_path.h"

#include <algorithm>
#include <optional>

#include "errors.h"
#include "expand.h"
#include "paths.h"
#include "property_ids.h"
#include "text.h"

namespace zendra {
namespace {

bool endsWithChar(const std::string& text, char c) { return !text.empty() && text.back() == c; }

// Whether every piece of a resolved list exists (false for an empty list).
bool allPathsExist(Launcher& l, const std::string& list) {
    bool any = false;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(l.os.paths().listSeparator, start);
        if (end == std::string::npos) end = list.size();
        if (end > start) {
            if (!pathExists(l, list.substr(start, end - start))) return false;
            any = true;
        }
        start = end + 1;
    }
    return any;
}

// One entry of property 121.
struct ClassPathEntry {
    char type = '\0';
    bool required = false;
    std::string value;  // expanded
};

// A: archive, D: directory; appended whether it exists or not.
bool addPathEntry(Launcher& l, std::string& text, const std::string& value) {
    const std::string resolved = resolvePathList(l, value);
    if (resolved.empty()) return false;
    text += resolved;
    text += l.os.paths().listSeparator;
    return allPathsExist(l, resolved);
}

// E: the value of an environment variable; nullopt when the variable is not defined.
std::optional<bool> addVariableEntry(Launcher& l, std::string& text, const std::string& name) {
    std::optional<std::string> value = l.os.env.get(name);
    if (!value) return std::nullopt;
    if (value->size() >= 2 && value->front() == '"' && value->back() == '"') {
        value->pop_back();
        value->erase(0, 1);
    }
    if (value->empty()) return false;
    text += *value;
    if (!endsWithChar(text, l.os.paths().listSeparator)) text += l.os.paths().listSeparator;
    return true;
}

// The archives of a directory, jar files before zip files; whether the directory exists.
bool addArchives(Launcher& l, std::string& text, const std::string& directory) {
    const bool jars = addArchivesOfDirectory(l, text, directory, "jar");
    const bool zips = addArchivesOfDirectory(l, text, directory, "zip");
    return jars || zips;
}

void addEntry(Launcher& l, std::string& text, const ClassPathEntry& entry) {
    bool found = false;
    switch (entry.type) {
    case 'A':
    case 'D': found = addPathEntry(l, text, entry.value); break;
    case 'S': found = addArchives(l, text, resolvePath(l, entry.value)); break;
    case 'E': {
        const std::optional<bool> added = addVariableEntry(l, text, entry.value);
        if (!added) {
            if (entry.required) fatalPropertyWithArgument(l, prop::errorClassPathVariable, entry.value);
            return;
        }
        found = *added;
        break;
    }
    default:
        // Nothing is added; a required entry of a type nobody knows is not found.
        l.log.message("classpath entry of unknown type %c ignored", entry.type);
        break;
    }
    if (entry.required && !found) fatalPropertyWithArgument(l, prop::errorClassPathEntry, entry.value);
}

}  // namespace

bool addArchivesOfDirectory(Launcher& l, std::string& classPathText, const std::string& directory,
                            const std::string& extension) {
    if (!pathExists(l, directory)) return false;
    for (const std::string& name : listFilesWithExtension(l, directory, extension)) {
        classPathText += resolvePath(l, joinPath(l.os.paths(), directory, name));
        classPathText += l.os.paths().listSeparator;
    }
    return true;
}

void addConfiguredClassPath(Launcher& l, std::string& classPathText) {
    const std::string& configured = l.store.getProperty(prop::classPath);
    l.log.message("classpath entry %s", configured.c_str());
    std::size_t start = 0;
    while (start < configured.size()) {
        std::size_t end = configured.find(';', start);
        if (end == std::string::npos) end = configured.size();
        if (end > start) {
            const std::string_view piece(configured.data() + start, end - start);
            ClassPathEntry entry{piece[0], piece.size() > 1 && piece[1] == '1',
                                 std::string(piece.substr(std::min<std::size_t>(piece.size(), 2)))};
            expandVariables(l, entry.value);
            addEntry(l, classPathText, entry);
        }
        start = end + 1;
    }
}

std::string runtimeLibraryEntry(Launcher& l) {
    const PathConventions& conv = l.os.paths();
    const std::string dir = getFullPath(l, l.store.getProperty(prop::installationDirectory), true);
    std::string entry =
        joinPath(conv, dir, concat({".quillon", std::string_view(&conv.separator, 1), "qlnruntime.jar"}));
    entry += conv.listSeparator;
    return entry;
}

std::string composeClassPath(Launcher& l, const OptionSink& sink) {
    const char separator = l.os.paths().listSeparator;
    std::string text = kClassPathPrefix;
    if (!sink.classpathPrepend.empty()) {
        text += sink.classpathPrepend;
        text += separator;
    }
    // Without a per-run directory there is nothing of it to add; "\\user" alone would name a
    // directory at the root of the current drive.
    if (!l.launcherTempDir.empty()) {
        addArchives(l, text, l.launcherTempDir);
        addArchives(l, text, joinPath(l.os.paths(), l.launcherTempDir, "user"));
    }
    if (l.kind != LauncherKind::Setup && isQuillonFlavour(l)) text += runtimeLibraryEntry(l);
    if (!sink.classpathOverride.empty())
        text += sink.classpathOverride;
    else
        addConfiguredClassPath(l, text);
    if (!sink.classpathAppend.empty()) {
        // An empty element would put the current directory on the class path.
        if (!endsWithChar(text, separator) && text.size() > std::char_traits<char>::length(kClassPathPrefix))
            text += separator;
        text += sink.classpathAppend;
    }
    // Every entry is followed by a separator; one left at the end would be an empty element,
    // which the VM reads as its working directory: classes found there must not load.
    if (endsWithChar(text, separator) && text.size() > std::char_traits<char>::length(kClassPathPrefix))
        text.pop_back();
    return text;
}

void setNativeLibraryPath(Launcher& l) {
    const PathConventions& conv = l.os.paths();
    const std::string name(conv.nativePathVariable);
    std::string dirs = l.store.getProperty(prop::nativeLibraryPath);
    l.log.message("native lib dir is %s", dirs.c_str());
    expandVariables(l, dirs);
    std::string path = resolvePathList(l, dirs);
    const std::string existing = l.os.env.get(name).value_or("");
    // An empty element would add the working directory to the search of a Linux system.
    if (!path.empty() && !endsWithChar(path, conv.listSeparator) && (conv.windows || !existing.empty()))
        path += conv.listSeparator;
    path += existing;
    setNativeSearchPath(l, path, " (native libs)");
}

void setNativeSearchPath(Launcher& l, const std::optional<std::string>& value, const char* what) {
    const std::string name(l.os.paths().nativePathVariable);
    const std::string text = value.value_or("");
    std::uint32_t error = 0;
    if (l.os.env.set(name, value, error))
        l.log.message("Setting %s%s %s", name.c_str(), what, text.c_str());
    else
        l.log.message("Setting %s%s %s failed with error %d", name.c_str(), what, text.c_str(), static_cast<int>(error));
    l.os.env.setRuntimeCopy(concat({name, "=", text}));
}

}  // namespace zendra
