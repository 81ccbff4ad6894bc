#include "jvm_loader.h"

#include <algorithm>
#include <vector>

#include "class_path.h"
#include "errors.h"
#include "java_check.h"
#include "java_runtime.h"
#include "jvm_search.h"
#include "property_ids.h"
#include "text.h"
#include "version_rules.h"

namespace zendra {
namespace {

constexpr std::size_t kVmTypeChars = 199;

// One attempt at a full library path; logs it like tryJvmDll.
LibraryRef tryLibrary(Launcher& l, const std::string& path) {
    const bool exists = fileExists(l, path);
    l.log.message("Trying %s (exists %d)", path.c_str(), exists ? 1 : 0);
    std::uint32_t error = 0;
    LibraryRef library = l.os.libraries.load(path, error);
    if (exists && library == nullptr) l.log.message("Failed with error code %d", static_cast<int>(error));
    return library;
}

// Linux runtimes keep the VM library below lib: lib/<type> since Java 9, jre/lib/<arch>/<type> in a
// JDK 8 and lib/<arch>/<type> in a JRE 8. The configured type comes first, then server and client.
LibraryRef loadPosixJvmLibrary(Launcher& l, const std::string& javaExe) {
    const std::string home = jvmHomeOf(javaExe, l.os.paths());
    const std::string_view arch = posixRuntimeArchitecture();
    const std::string_view library = l.os.paths().vmLibrary;
    const std::string_view preferred = std::string_view(l.store.getProperty(prop::preferredVmType)).substr(0, kVmTypeChars);
    const std::string layouts[] = {"/lib/", concat({"/jre/lib/", arch, "/"}), concat({"/lib/", arch, "/"})};
    for (const std::string& layout : layouts)
        for (std::string_view type : {preferred, std::string_view("server"), std::string_view("client")})
            if (!type.empty())
                if (LibraryRef loaded = tryLibrary(l, concat({home, layout, type, "/", library}))) return loaded;
    return nullptr;
}

// A location handed in by the caller: a java.exe (checked, always run) or a Java home (taken as is).
bool checkGivenLocation(Launcher& l, const std::string& location, bool locationIsJavaExe, JvmLocation& given) {
    l.log.message("Got JRE location %s (java exe: %d)", location.c_str(), locationIsJavaExe ? 1 : 0);
    const VersionRange range = readVersionRange(l);
    l.log.message("MinVersion: %s, MaxVersion: %s", range.minimum.c_str(), range.maximum.c_str());
    given = {LocationKind::Directory, location, location};
    if (!locationIsJavaExe) return checkJavaHomeDir(l, given.javaExe, location, range, true);
    std::string version;
    return checkJavaExeWithCache(l, given.javaExe, version, range, true, false);
}

// Publishes where the runtime of a load attempt lives.
void publishLocation(Launcher& l, const JvmLocation& found) {
    l.jvmLocationKind = static_cast<int>(found.kind);
    l.jvmJavaExe = found.javaExe;
    l.jvmHome = jvmHomeOf(found.javaExe, l.os.paths());
}

// The text shown when no runtime could be used.
void showNoJvm(Launcher& l) { showPropertyError(l, prop::errorNoJvm, wordSizeText(l)); }

// The texts shown when no VM library could be used, by location kind.
void showLoadFailure(Launcher& l, const JvmLocation& found) {
    const std::int32_t sourceText = prop::errorJvmSourceFor(l.wordSize);
    const std::int32_t pathText = prop::errorJvmPathFor(l.wordSize);
    switch (found.kind) {
    case LocationKind::SearchPath:
        showNoJvm(l);
        showPropertyError(l, sourceText, found.text);
        showPropertyError(l, pathText, found.text);
        break;
    case LocationKind::Directory:
        showPropertyError(l, pathText, found.text);
        break;
    case LocationKind::Variable:
        showPropertyError(l, sourceText, found.text);
        showPropertyError(l, pathText, found.text);
        break;
    case LocationKind::Registry:
    case LocationKind::None:
        break;
    }
    showPropertyError(l, prop::errorVmStart);
}

// Loads the library of the settled java.exe and publishes what LoadDLL publishes.
bool loadAndPublish(Launcher& l, const JvmLocation& found) {
    l.log.message("Trying to load JVM-DLL from %s", found.javaExe.c_str());
    publishLocation(l, found);
    LibraryRef library = loadJvmLibrary(l, found.javaExe);
    void* entry = nullptr;
    if (library == nullptr) {
        l.log.error("Could not get DLL-Handle.");
    } else {
        l.jvmLibrary = library;
        entry = l.os.libraries.symbol(library, kCreateJavaVmExport);
    }
    if (entry == nullptr) {
        l.log.error("Could not load functions");
        return false;
    }
    l.createJavaVm = entry;
    l.log.message("Loading of JVM-DLL successful");
    return true;
}

// The search, going on past runtimes whose VM library does not load (a java.exe link or stub
// on the search path, a runtime of the other word size). When none loads, the first one found
// is reported, as the runtime the user most likely meant.
bool searchAndLoad(Launcher& l, bool showErrors) {
    struct Loader final : JvmAcceptor {
        Launcher& l;
        JvmLocation firstFailure;          // kind None until a runtime failed
        std::vector<std::string> failed;  // a runtime met again through a later source is not loaded again

        explicit Loader(Launcher& launcher) : l(launcher) {}
        bool accept(const JvmLocation& candidate) override {
            if (std::find(failed.begin(), failed.end(), candidate.javaExe) != failed.end()) return false;
            if (loadAndPublish(l, candidate)) return true;
            failed.push_back(candidate.javaExe);
            if (firstFailure.kind == LocationKind::None) firstFailure = candidate;
            l.log.message("No usable VM library for %s, searching on", candidate.javaExe.c_str());
            return false;
        }
    } loader(l);
    if (searchJVM(l, &loader).kind != LocationKind::None) return true;
    if (loader.firstFailure.kind != LocationKind::None) {
        publishLocation(l, loader.firstFailure);
        if (showErrors) showLoadFailure(l, loader.firstFailure);
        return false;
    }
    l.log.error("No JVM found");
    if (showErrors) showNoJvm(l);
    return false;
}

}  // namespace

std::string wordSizeText(const Launcher& l) { return formatText("%d", l.wordSize); }

bool LoadDLL(Launcher& l, bool showErrors, const std::optional<std::string>& location, bool locationIsJavaExe) {
    l.log.message("LoadDLL (%d, %s, %d)", showErrors ? 1 : 0, location ? location->c_str() : "(null)",
                  locationIsJavaExe ? 1 : 0);
    if (!location) return searchAndLoad(l, showErrors);
    JvmLocation found;
    if (!checkGivenLocation(l, *location, locationIsJavaExe, found)) {
        l.log.error("Provided JVM unusable");
        if (showErrors) showNoJvm(l);
        return false;
    }
    if (loadAndPublish(l, found)) return true;
    if (showErrors) showLoadFailure(l, found);
    return false;
}

LibraryRef loadJvmLibrary(Launcher& l, const std::string& javaExe) {
    if (!l.os.paths().windows) return loadPosixJvmLibrary(l, javaExe);
    if (LibraryRef library = loadJvmFromBinDir(l, javaExe)) return library;
    return loadJvmFromBinDir(l, concat({javaExeDirectory(javaExe), "..\\jre\\bin\\java.exe"}));
}

LibraryRef loadJvmFromBinDir(Launcher& l, const std::string& javaExe) {
    const std::string binDir = javaExeBinDirectory(javaExe);
    const std::optional<std::string> saved = l.os.env.get("PATH");
    setNativeSearchPath(l, concat({saved ? *saved : std::string_view(), ";", binDir}), "");
    LibraryRef library = nullptr;
    const std::string_view preferred = std::string_view(l.store.getProperty(prop::preferredVmType)).substr(0, kVmTypeChars);
    if (!preferred.empty()) library = tryJvmDll(l, binDir, preferred);
    for (std::size_t i = 0; library == nullptr && i < kVmSubDirectories.size(); ++i)
        library = tryJvmDll(l, binDir, kVmSubDirectories[i]);
    if (library == nullptr) setNativeSearchPath(l, saved, "");
    return library;
}

LibraryRef tryJvmDll(Launcher& l, std::string_view binDir, std::string_view subDir) {
    return tryLibrary(l, concat({binDir, "\\", subDir, "\\jvm.dll"}));
}

}  // namespace zendra
