// Loading the VM library of the chosen Java runtime into the launcher's process.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "launcher.h"

namespace zendra {

// Settles on a java.exe (the given location, else the search), loads its jvm.dll, takes
// JNI_CreateJavaVM and publishes the JVM home; shows the configured texts on failure when asked.
bool LoadDLL(Launcher& l, bool showErrors, const std::optional<std::string>& location, bool locationIsJavaExe);

// The VM library of a java.exe: from its own directory, else from "..\\jre\\bin" beside it.
LibraryRef loadJvmLibrary(Launcher& l, const std::string& javaExe);

// Appends the java.exe directory to PATH and tries the VM sub-directories; PATH is restored
// when nothing loads.
LibraryRef loadJvmFromBinDir(Launcher& l, const std::string& javaExe);

// One attempt: binDir\subDir\jvm.dll.
LibraryRef tryJvmDll(Launcher& l, std::string_view binDir, std::string_view subDir);

// The word size of the build as the failure texts show it ("64" or "32").
std::string wordSizeText(const Launcher& l);

}  // namespace zendra
