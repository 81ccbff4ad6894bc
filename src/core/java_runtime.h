// What the launchers rely on from a Java runtime: its file layout and the "-version" output.
#pragma once

#include "path_conventions.h"

#include <array>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zendra {

// The VM sub-directories of "bin" tried for jvm.dll after the configured one, in order.
inline constexpr std::array<std::string_view, 5> kVmSubDirectories = {"hotspot", "client", "server", "classic",
                                                                      "jrockit"};

// The jars a packed runtime ships as "<jar>.pack", in unpacking order ("lib\\jsse.jar" last).
inline constexpr std::array<std::string_view, 7> kPackedJars = {
    "lib\\rt.jar",     "lib\\jfxrt.jar", "lib\\charsets.jar", "lib\\plugin.jar", "lib\\deploy.jar",
    "lib\\ext\\localedata.jar", "lib\\jsse.jar"};

// The export of the VM library that creates a Java VM.
inline constexpr const char* kCreateJavaVmExport = "JNI_CreateJavaVM";

// The version text of the first line a runtime prints for "-version", or nullopt when the
// line is not a version line. The text runs from the opening quote to the next double quote
// (to the line end when the line has none).
std::optional<std::string> parseVersionLine(std::string_view line);

// The length of the file name a java.exe path ends with: 9 for "javaw.exe", else 8.
std::size_t javaExeNameLength(std::string_view javaExe);

// The java.exe path without its file name, the backslash before it kept.
std::string javaExeDirectory(std::string_view javaExe, const PathConventions& conventions = kWindowsConventions);

// The directory that holds the java.exe, without the trailing separator.
std::string javaExeBinDirectory(std::string_view javaExe, const PathConventions& conventions = kWindowsConventions);

// The entries of a ";"-separated list; consecutive separators count as one.
std::vector<std::string> splitList(std::string_view list);

// The JVM home published for a java.exe: its directory followed by "..".
std::string jvmHomeOf(std::string_view javaExe, const PathConventions& conventions = kWindowsConventions);

}  // namespace zendra
