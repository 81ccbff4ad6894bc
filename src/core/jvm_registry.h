// Registry catalogues of Java runtimes, the launchers' own version cache and candidate ranking.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "launcher.h"
#include "version_rules.h"

namespace zendra {

// A runtime that passed checkJavaExe: its java.exe path (as the check left it) and version.
struct JvmCandidate {
    std::string javaExe;
    std::string version;
};

// The version-cache key of HKEY_CURRENT_USER; a path key follows it.
inline constexpr const char* kVersionCacheKey = "SOFTWARE\\orvane-labs\\zendra\\jvms\\";
// The catalogue of runtimes located by hand; a path key follows it.
inline constexpr const char* kLocatedJvmsKey = "SOFTWARE\\orvane-labs\\zendra\\locatedjvms\\";
// The previous-installation list; its value is named by property 160.
inline constexpr const char* kInstallationsKey = "SOFTWARE\\orvane-labs\\quillon\\installations";
// The JavaSoft runtime catalogue of HKEY_LOCAL_MACHINE.
inline constexpr const char* kJavaSoftJreKey = "SOFTWARE\\JavaSoft\\Java Runtime Environment";
// The JavaSoft development-kit catalogue of HKEY_LOCAL_MACHINE.
inline constexpr const char* kJavaSoftJdkKey = "SOFTWARE\\JavaSoft\\Java Development Kit";
// The catalogues that Java 9 and later installers write beside the two above.
inline constexpr const char* kJavaSoftJdk9Key = "SOFTWARE\\JavaSoft\\JDK";
inline constexpr const char* kJavaSoftJre9Key = "SOFTWARE\\JavaSoft\\JRE";
// The version cached for a runtime whose "-version" run failed; never used as a version.
inline constexpr const char* kFailedRunMarker = "1.0.0";

// Reads a value of at most maxBytes bytes as text (cut at its first zero byte); nullopt when
// the key or value is missing or the data is longer.
std::optional<std::string> readRegistryValue(Launcher& l, Hive hive, std::string_view key, std::string_view name,
                                             std::size_t maxBytes);

// A java.exe path as one sub-key name: every "\\" becomes "/".
std::string jvmPathKey(std::string_view javaExe);

// The cached version of a java.exe whose last-write time matches the cached one.
std::optional<std::string> lookupCachedVersion(Launcher& l, const std::string& javaExe, std::uint64_t lastWriteTime);

// Caches a version (or the failed-run marker) for a java.exe; failures are silent.
void storeCachedVersion(Launcher& l, const std::string& javaExe, std::uint64_t lastWriteTime,
                        const std::string& version);

// Records a java.exe that the user located by hand (per machine, else per user).
void recordLocatedJvm(Launcher& l, const std::string& javaExe);

// The JavaSoft "CurrentVersion" entries: the greater of development kit and runtime.
std::optional<JvmCandidate> findCurrentJavaSoftJvm(Launcher& l, const VersionRange& range);

// The sub-keys of one JavaSoft catalogue, greatest name first; the first that passes.
std::optional<JvmCandidate> scanJavaSoftCatalogue(Launcher& l, const VersionRange& range, std::string_view key);

// The sub-keys of several catalogues of one kind together, greatest name first (the earlier
// catalogue first on equal names); the first that passes.
std::optional<JvmCandidate> scanJavaSoftCatalogues(Launcher& l, const VersionRange& range,
                                                   std::initializer_list<std::string_view> keys);

// The current versions, then the runtime and development-kit sub-key scans, then the vendors'
// own catalogues.
std::optional<JvmCandidate> findJavaSoftJvm(Launcher& l, const VersionRange& range);

// The catalogues OpenJDK vendors' installers write (Eclipse Temurin, Microsoft, Azul Zulu), their
// entries together, greatest version first; the first that passes.
std::optional<JvmCandidate> scanVendorCatalogues(Launcher& l, const VersionRange& range);

// The greatest passing version of the located catalogue in one hive (earlier wins on a tie).
std::optional<JvmCandidate> scanLocatedJvms(Launcher& l, Hive hive, const VersionRange& range);

// Both hives' located catalogues; the machine's wins unless the user's version is greater.
std::optional<JvmCandidate> findLocatedJvm(Launcher& l, const VersionRange& range);

// The registry entry of the search: JavaSoft against located; the located one wins ties.
std::optional<std::string> findRegistryJvm(Launcher& l, const VersionRange& range);

// The "jre" directory of the first earlier installation (property 160) whose runtime passes.
std::optional<std::string> findPreviousInstallation(Launcher& l, Hive hive, const VersionRange& range);

}  // namespace zendra
