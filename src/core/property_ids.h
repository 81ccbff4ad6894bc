// Ids of the configuration record's properties, by the names the code uses.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace zendra::prop {

inline constexpr std::int32_t applicationName = 101;
inline constexpr std::int32_t launchPathAEnabled = 102;
inline constexpr std::int32_t launchPathA = 103;
inline constexpr std::int32_t launchPathBEnabled = 104;
inline constexpr std::int32_t launchPathB = 105;
inline constexpr std::int32_t launchFlag = 106;
inline constexpr std::int32_t launcherType = 107;
inline constexpr std::int32_t splashScreen = 108;
inline constexpr std::int32_t classPath = 121;
inline constexpr std::int32_t launchText = 122;
inline constexpr std::int32_t vmOptions = 123;
inline constexpr std::int32_t launchArguments = 124;
inline constexpr std::int32_t acceptJavaArguments = 125;
inline constexpr std::int32_t minJavaVersion = 126;
inline constexpr std::int32_t maxJavaVersion = 127;
inline constexpr std::int32_t searchSequence = 128;
inline constexpr std::int32_t allowBetaJava = 130;
inline constexpr std::int32_t requireJdk = 131;
inline constexpr std::int32_t splashWidth = 141;
inline constexpr std::int32_t splashHeight = 142;
inline constexpr std::int32_t splashAutoOff = 145;
inline constexpr std::int32_t workingDirectory = 146;
inline constexpr std::int32_t splashTopMost = 147;
inline constexpr std::int32_t serviceDependencies = 149;
inline constexpr std::int32_t jreDownloadLocation = 150;
inline constexpr std::int32_t jreArchiveSize = 151;
inline constexpr std::int32_t preferredVmType = 152;
inline constexpr std::int32_t jrePacked = 153;
inline constexpr std::int32_t quietSwitches = 154;
inline constexpr std::int32_t dialogOnlyForDownload = 155;
inline constexpr std::int32_t consoleSwitch = 156;
inline constexpr std::int32_t downloadWithoutAsking = 157;
inline constexpr std::int32_t globalInstanceScope = 158;
inline constexpr std::int32_t noWindowTimeout = 159;
inline constexpr std::int32_t applicationId = 160;
inline constexpr std::int32_t preferInstalledJre = 161;
inline constexpr std::int32_t errorCaption = 1000;
inline constexpr std::int32_t errorVmStart = 1005;
inline constexpr std::int32_t errorClassPathEntry = 1006;
inline constexpr std::int32_t errorClassPathVariable = 1008;
inline constexpr std::int32_t errorInternal = 1009;
inline constexpr std::int32_t errorMainClass = 1010;
inline constexpr std::int32_t errorMainMethod = 1011;
inline constexpr std::int32_t errorNoTempDir = 1015;
inline constexpr std::int32_t errorNoJvm = 1016;
inline constexpr std::int32_t errorJvmSource32 = 1017;
inline constexpr std::int32_t errorJvmSource64 = 1018;
inline constexpr std::int32_t errorJvmPath32 = 1019;
inline constexpr std::int32_t errorJvmPath64 = 1020;
inline constexpr std::int32_t productFlavour = 2001;
inline constexpr std::int32_t includedFileCount = 2002;
inline constexpr std::int32_t includedFileNames = 2003;
// SHA-256 (64 hex digits) that a downloaded runtime archive must have; empty: not checked.
inline constexpr std::int32_t jreDownloadDigest = 3001;
inline constexpr std::int32_t installationDirectory = 10003;
inline constexpr std::int32_t nativeLibraryPath = 10004;
inline constexpr std::int32_t singleInstance = 10005;
inline constexpr std::int32_t statusX = 10109;
inline constexpr std::int32_t statusY = 10110;
inline constexpr std::int32_t statusText = 10111;
inline constexpr std::int32_t statusFont = 10112;
inline constexpr std::int32_t statusFontSize = 10113;
inline constexpr std::int32_t statusColor = 10114;
inline constexpr std::int32_t statusFontWeight = 10115;
inline constexpr std::int32_t versionX = 10116;
inline constexpr std::int32_t versionY = 10117;
inline constexpr std::int32_t versionText = 10118;
inline constexpr std::int32_t versionFont = 10119;
inline constexpr std::int32_t versionFontSize = 10120;
inline constexpr std::int32_t versionColor = 10121;
inline constexpr std::int32_t versionFontWeight = 10122;
inline constexpr std::int32_t useJavaSplash = 10123;
inline constexpr std::int32_t msgDownloading = 20001;
inline constexpr std::int32_t msgDownloadUnavailable = 20002;
inline constexpr std::int32_t msgDownloadFailed = 20003;
inline constexpr std::int32_t msgChooseJavaTitle = 20004;
inline constexpr std::int32_t msgNoJreDownload = 20005;
inline constexpr std::int32_t msgNoJre = 20006;
inline constexpr std::int32_t msgProgressInitial = 20007;
inline constexpr std::int32_t msgDownloadStatus = 20008;
inline constexpr std::int32_t msgConnecting = 20009;
inline constexpr std::int32_t msgDownloadButton = 20010;
inline constexpr std::int32_t msgLocateButton = 20011;
inline constexpr std::int32_t msgCancelButton = 20012;
inline constexpr std::int32_t msgCaption = 20013;
inline constexpr std::int32_t msgWindowTimeout = 20014;
inline constexpr std::int32_t msgInterruptedQuestion = 20015;
inline constexpr std::int32_t msgDataDamaged = 20016;
inline constexpr std::int32_t msgServiceDescription = 20017;
inline constexpr std::int32_t msgExtractFailed = 20018;
inline constexpr std::int32_t msgMinVersionLabel = 20019;
inline constexpr std::int32_t msgMaxVersionLabel = 20020;

// Texts shown after a failed runtime load depend on the word size of the build.
inline constexpr std::int32_t errorJvmSourceFor(int wordSize) { return wordSize == 64 ? errorJvmSource64 : errorJvmSource32; }
// See errorJvmSourceFor.
inline constexpr std::int32_t errorJvmPathFor(int wordSize) { return wordSize == 64 ? errorJvmPath64 : errorJvmPath32; }

// How a property is stored and read.
enum class Kind { Text, Integer, Colour, Message };

// One catalogue row: id, constant name and how it is read.
struct Entry {
    std::int32_t id;
    std::string_view name;
    Kind kind;
};

// Every known property, ordered by id.
std::span<const Entry> catalogue();
// The row for a name, if any.
std::optional<Entry> findByName(std::string_view name);
// The row for an id in the string (message = false) or message table.
std::optional<Entry> findById(std::int32_t id, bool message);

}  // namespace zendra::prop
