// The Java class path option and the native library search path.
#pragma once

#include <optional>
#include <string>

#include "launcher.h"
#include "vm_options.h"

namespace zendra {

// The text every class path option starts with.
inline constexpr const char* kClassPathPrefix = "-Djava.class.path=";

// Appends "directory\\name;" for every entry of directory ending with ".extension", in the
// order the file system lists them; false only when the directory does not exist.
bool addArchivesOfDirectory(Launcher& l, std::string& classPathText, const std::string& directory,
                            const std::string& extension);

// Appends the entries of property 121 (types A, D, E, S); a required entry that is missing
// ends the process with string property 1006, an undefined required variable with 1008.
void addConfiguredClassPath(Launcher& l, std::string& classPathText);

// The runtime library entry "<installation dir>\\.quillon\\qlnruntime.jar;".
std::string runtimeLibraryEntry(Launcher& l);

// The whole "-Djava.class.path=" option: prefix slot, archives of the per-run directory and
// its "user" sub-directory, the runtime library, property 121 or the override, the append slot.
std::string composeClassPath(Launcher& l, const OptionSink& sink);

// Puts the directories of property 10004 in front of PATH (in the system's environment and
// in the C runtime's copy).
void setNativeLibraryPath(Launcher& l);

// Sets (or with nullopt removes) the native library search variable (PATH on Windows) in the
// operating system's environment and in the runtime library's copy; logs "Setting NAME<what> ...".
void setNativeSearchPath(Launcher& l, const std::optional<std::string>& value, const char* what);

}  // namespace zendra
