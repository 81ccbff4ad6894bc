#include "property_ids.h"

#include <algorithm>
#include <array>

namespace zendra::prop {
namespace {

constexpr std::array<Entry, 91> kEntries{{
    {applicationName, "applicationName", Kind::Text},
    {launchPathAEnabled, "launchPathAEnabled", Kind::Integer},
    {launchPathA, "launchPathA", Kind::Text},
    {launchPathBEnabled, "launchPathBEnabled", Kind::Integer},
    {launchPathB, "launchPathB", Kind::Text},
    {launchFlag, "launchFlag", Kind::Integer},
    {launcherType, "launcherType", Kind::Integer},
    {splashScreen, "splashScreen", Kind::Integer},
    {classPath, "classPath", Kind::Text},
    {launchText, "launchText", Kind::Text},
    {vmOptions, "vmOptions", Kind::Text},
    {launchArguments, "launchArguments", Kind::Text},
    {acceptJavaArguments, "acceptJavaArguments", Kind::Integer},
    {minJavaVersion, "minJavaVersion", Kind::Text},
    {maxJavaVersion, "maxJavaVersion", Kind::Text},
    {searchSequence, "searchSequence", Kind::Text},
    {allowBetaJava, "allowBetaJava", Kind::Integer},
    {requireJdk, "requireJdk", Kind::Integer},
    {splashWidth, "splashWidth", Kind::Integer},
    {splashHeight, "splashHeight", Kind::Integer},
    {splashAutoOff, "splashAutoOff", Kind::Integer},
    {workingDirectory, "workingDirectory", Kind::Text},
    {splashTopMost, "splashTopMost", Kind::Integer},
    {serviceDependencies, "serviceDependencies", Kind::Text},
    {jreDownloadLocation, "jreDownloadLocation", Kind::Text},
    {jreArchiveSize, "jreArchiveSize", Kind::Integer},
    {preferredVmType, "preferredVmType", Kind::Text},
    {jrePacked, "jrePacked", Kind::Integer},
    {quietSwitches, "quietSwitches", Kind::Integer},
    {dialogOnlyForDownload, "dialogOnlyForDownload", Kind::Integer},
    {consoleSwitch, "consoleSwitch", Kind::Integer},
    {downloadWithoutAsking, "downloadWithoutAsking", Kind::Integer},
    {globalInstanceScope, "globalInstanceScope", Kind::Integer},
    {noWindowTimeout, "noWindowTimeout", Kind::Integer},
    {applicationId, "applicationId", Kind::Text},
    {preferInstalledJre, "preferInstalledJre", Kind::Integer},
    {errorCaption, "errorCaption", Kind::Text},
    {errorVmStart, "errorVmStart", Kind::Text},
    {errorClassPathEntry, "errorClassPathEntry", Kind::Text},
    {errorClassPathVariable, "errorClassPathVariable", Kind::Text},
    {errorInternal, "errorInternal", Kind::Text},
    {errorMainClass, "errorMainClass", Kind::Text},
    {errorMainMethod, "errorMainMethod", Kind::Text},
    {errorNoTempDir, "errorNoTempDir", Kind::Text},
    {errorNoJvm, "errorNoJvm", Kind::Text},
    {errorJvmSource32, "errorJvmSource32", Kind::Text},
    {errorJvmSource64, "errorJvmSource64", Kind::Text},
    {errorJvmPath32, "errorJvmPath32", Kind::Text},
    {errorJvmPath64, "errorJvmPath64", Kind::Text},
    {productFlavour, "productFlavour", Kind::Text},
    {includedFileCount, "includedFileCount", Kind::Integer},
    {includedFileNames, "includedFileNames", Kind::Text},
    {jreDownloadDigest, "jreDownloadDigest", Kind::Text},
    {installationDirectory, "installationDirectory", Kind::Text},
    {nativeLibraryPath, "nativeLibraryPath", Kind::Text},
    {singleInstance, "singleInstance", Kind::Integer},
    {statusX, "statusX", Kind::Integer},
    {statusY, "statusY", Kind::Integer},
    {statusText, "statusText", Kind::Text},
    {statusFont, "statusFont", Kind::Text},
    {statusFontSize, "statusFontSize", Kind::Integer},
    {statusColor, "statusColor", Kind::Colour},
    {statusFontWeight, "statusFontWeight", Kind::Integer},
    {versionX, "versionX", Kind::Integer},
    {versionY, "versionY", Kind::Integer},
    {versionText, "versionText", Kind::Text},
    {versionFont, "versionFont", Kind::Text},
    {versionFontSize, "versionFontSize", Kind::Integer},
    {versionColor, "versionColor", Kind::Colour},
    {versionFontWeight, "versionFontWeight", Kind::Integer},
    {useJavaSplash, "useJavaSplash", Kind::Integer},
    {msgDownloading, "msgDownloading", Kind::Message},
    {msgDownloadUnavailable, "msgDownloadUnavailable", Kind::Message},
    {msgDownloadFailed, "msgDownloadFailed", Kind::Message},
    {msgChooseJavaTitle, "msgChooseJavaTitle", Kind::Message},
    {msgNoJreDownload, "msgNoJreDownload", Kind::Message},
    {msgNoJre, "msgNoJre", Kind::Message},
    {msgProgressInitial, "msgProgressInitial", Kind::Message},
    {msgDownloadStatus, "msgDownloadStatus", Kind::Message},
    {msgConnecting, "msgConnecting", Kind::Message},
    {msgDownloadButton, "msgDownloadButton", Kind::Message},
    {msgLocateButton, "msgLocateButton", Kind::Message},
    {msgCancelButton, "msgCancelButton", Kind::Message},
    {msgCaption, "msgCaption", Kind::Message},
    {msgWindowTimeout, "msgWindowTimeout", Kind::Message},
    {msgInterruptedQuestion, "msgInterruptedQuestion", Kind::Message},
    {msgDataDamaged, "msgDataDamaged", Kind::Message},
    {msgServiceDescription, "msgServiceDescription", Kind::Message},
    {msgExtractFailed, "msgExtractFailed", Kind::Message},
    {msgMinVersionLabel, "msgMinVersionLabel", Kind::Message},
    {msgMaxVersionLabel, "msgMaxVersionLabel", Kind::Message},
}};

}  // namespace

std::span<const Entry> catalogue() { return kEntries; }

std::optional<Entry> findByName(std::string_view name) {
    auto it = std::find_if(kEntries.begin(), kEntries.end(), [&](const Entry& e) { return e.name == name; });
    if (it == kEntries.end()) return std::nullopt;
    return *it;
}

std::optional<Entry> findById(std::int32_t id, bool message) {
    auto it = std::find_if(kEntries.begin(), kEntries.end(),
                           [&](const Entry& e) { return e.id == id && (e.kind == Kind::Message) == message; });
    if (it == kEntries.end()) return std::nullopt;
    return *it;
}

}  // namespace zendra::prop
