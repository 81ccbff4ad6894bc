#include "system_properties.h"

#include "paths.h"
#include "property_ids.h"
#include "text.h"

namespace zendra {
namespace {

// Adds the option "-Dname=value".
void addProperty(std::vector<std::string>& options, const char* name, const char* value) {
    options.push_back(formatText("-D%s=%s", name, value));
}

// What the VM searches for native libraries: PATH on Windows; on Linux LD_LIBRARY_PATH followed
// by the system directories Java itself adds after it (a bare variable would drop those).
std::string nativeLibrarySearchPath(Launcher& l) {
    const PathConventions& conv = l.os.paths();
    std::string path = l.os.env.get(std::string(conv.nativePathVariable)).value_or("");
    if (conv.windows) return path;
    if (!path.empty() && path.back() != conv.listSeparator) path += conv.listSeparator;
    path += kPosixSystemLibraryPath;
    return path;
}

}  // namespace

std::vector<std::string> launcherSystemProperties(Launcher& l) {
    std::vector<std::string> options;
    if (l.instanceSemaphoreName) addProperty(options, "zendra.semaphoreName", l.instanceSemaphoreName->c_str());
    if (l.manualJre) addProperty(options, "zendra.manualJre", "true");
    if (isQuillonFlavour(l)) addProperty(options, "zendra.isQuillon", "true");
    if (l.kind == LauncherKind::Service) addProperty(options, "zendra.isService", "true");
    const char* executable = getExecutablePath(l).c_str();
    addProperty(options, "zendra.moduleName", executable);
    addProperty(options, "sun.java.command", executable);
    if (l.store.getIntProperty(prop::singleInstance) != 0)
        addProperty(options, "zendra.processCommFile", getPidFileName(l, l.processId).c_str());
    addProperty(options, "zendra.tempDir", l.launcherTempDir.c_str());
    if (l.languageRestart)
        addProperty(options, "zendra.unextractedPosition", "-1");
    else
        options.push_back(formatText("-Dzendra.unextractedPosition=%u", static_cast<unsigned>(l.unextractedPosition)));
    options.push_back(concat({"-Djava.library.path=", nativeLibrarySearchPath(l)}));
    if (!l.os.env.get("MANPATH"))
        options.push_back(
            formatText("-Dzendra.consoleCodepage=cp%u", static_cast<unsigned>(l.consoleOutputCodePage)));
    return options;
}

}  // namespace zendra
