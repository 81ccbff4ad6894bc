// The checks every candidate Java runtime goes through: its java.exe, its version, the range.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "launcher.h"
#include "version_rules.h"

namespace zendra {

// How long a "-version" run may take before it is terminated.
inline constexpr std::uint32_t kVersionRunTimeoutMs = 60000;

// Whether a path exists; drive roots always do.
bool fileExists(Launcher& l, const std::string& path);

// The java.exe of a Java home ("jre\\bin" first, else "bin"); with property 131 the home must
// hold "lib\\tools.jar" and the "jre\\bin" form is kept.
bool javaHomeToJavaExe(Launcher& l, std::string& javaExe, const std::string& home);

// Normalises and prepares a Java home and derives its java.exe; without skipCheck the
// java.exe must also pass the check (beta allowed, version cache used).
bool checkJavaHomeDir(Launcher& l, std::string& javaExe, const std::string& directory, const VersionRange& range,
                      bool skipCheck);

// The full check of one java.exe, which it normalises in place (and may turn into javaw.exe).
bool checkJavaExe(Launcher& l, std::string& javaExe, std::string& version, const VersionRange& range,
                  bool allowBeta);

// checkJavaExe with the version-cache switch set to useCache for its duration.
bool checkJavaExeWithCache(Launcher& l, std::string& javaExe, std::string& version, const VersionRange& range,
                           bool allowBeta, bool useCache);

// Runs java.exe with "-version" and returns the version it prints; caches the failed-run
// marker when it exits non-zero.
std::optional<std::string> runJavaVersion(Launcher& l, const std::string& javaExe, std::uint64_t lastWriteTime);

// The first line of a text file (CR LF read as LF, at most maxChars characters, line end
// kept); nullopt when the file cannot be opened or is empty.
std::optional<std::string> readFirstTextLine(Launcher& l, const std::string& path, std::size_t maxChars);

}  // namespace zendra
