#include "system_properties.h"

#include "paths.h"
#include "property_ids.h"

namespace zendra {
namespace {

std::string property(const char* name, const std::string& value) { return formatText("-D%s=%s", name, value.c_str()); }

// What the VM searches for native libraries: PATH on Windows; on Linux LD_LIBRARY_PATH followed
// by the system directories Java itself adds after it (a bare variable would drop those).
std::string nativeLibrarySearchPath(Launcher& l) {
    const PathConventions& conv = l.os.paths();
    std::string path = l.os.env.get(std::string(conv.nativePathVariable)).value_or("");
    if (conv.windows) return path;
    if (!path.empty() && path.back() != conv.listSeparator) path += conv.listSeparator;
    return path + std::string(kPosixSystemLibraryPath);
}

}  // namespace

std::vector<std::string> launcherSystemProperties(Launcher& l) {
    std::vector<std::string> options;
    if (l.instanceSemaphoreName) options.push_back(property("zendra.semaphoreName", *l.instanceSemaphoreName));
    if (l.manualJre) options.push_back(property("zendra.manualJre", "true"));
    if (isQuillonFlavour(l)) options.push_back(property("zendra.isQuillon", "true"));
    if (l.kind == LauncherKind::Service) options.push_back(property("zendra.isService", "true"));
    options.push_back(property("zendra.moduleName", getExecutablePath(l)));
    options.push_back(property("sun.java.command", getExecutablePath(l)));
    if (l.store.getIntProperty(prop::singleInstance) != 0)
        options.push_back(property("zendra.processCommFile", getPidFileName(l, l.processId)));
    options.push_back(property("zendra.tempDir", l.launcherTempDir));
    const std::string position = l.languageRestart ? "-1" : std::to_string(l.unextractedPosition);
    options.push_back(property("zendra.unextractedPosition", position));
    options.push_back("-Djava.library.path=" + nativeLibrarySearchPath(l));
    if (!l.os.env.get("MANPATH"))
        options.push_back(property("zendra.consoleCodepage", "cp" + std::to_string(l.consoleOutputCodePage)));
    return options;
}

}  // namespace zendra
