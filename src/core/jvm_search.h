// The search for a Java runtime: a fixed frame of sources around the configured search sequence.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "launcher.h"
#include "version_rules.h"

namespace zendra {

// Where a runtime was found; selects LoadDLL's failure messages.
enum class LocationKind : int {
    None = 0,         // nothing found
    SearchPath = 1,   // java.exe on the executable search path (entry 'S')
    Directory = 2,    // a Java home directory
    Variable = 3,     // a Java home named by an environment variable
    Registry = 4,     // a registry catalogue or a previous installation
};

// The outcome of a search: the java.exe that passed, its kind and the location text.
struct JvmLocation {
    LocationKind kind = LocationKind::None;
    std::string javaExe;
    std::string text;
};

// The preferred-location file under the installation directory.
inline constexpr const char* kPreferredLocationFile = "\\.quillon\\pref_jre.cfg";
// The installer-location file under the installation directory.
inline constexpr const char* kInstallerLocationFile = "\\.quillon\\inst_jre.cfg";

// Decides whether a runtime that passed its checks serves (LoadDLL: its VM library loads);
// when it does not, the search goes on with the next source.
class JvmAcceptor {
public:
    // Whether the search ends with this runtime.
    virtual bool accept(const JvmLocation& found) = 0;

protected:
    ~JvmAcceptor() = default;
};

// Walks every source in order and returns the first runtime that passes (and that the
// acceptor, when given, takes).
JvmLocation searchJVM(Launcher& l, JvmAcceptor* acceptor = nullptr);

// The first line (line ends removed) of a location file under the installation directory.
std::optional<std::string> readJreConfigFile(Launcher& l, std::string_view suffix);

// The java.exe of the Java home an environment variable names, when it passes.
std::optional<std::string> checkEnvironmentJvm(Launcher& l, const std::string& name, const VersionRange& range);

// The java.exe found on the executable search path, when it passes.
std::optional<std::string> checkSearchPathJvm(Launcher& l, const VersionRange& range);

}  // namespace zendra
