#include "jvm_registry.h"

#include <algorithm>
#include <vector>

#include "java_check.h"
#include "java_runtime.h"
#include "property_ids.h"

namespace zendra {
namespace {

constexpr std::size_t kCurrentVersionBytes = 100;
constexpr std::size_t kValueBytes = 8192;

std::vector<std::uint8_t> fileTimeBytes(std::uint64_t time) {
    std::vector<std::uint8_t> bytes(8);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(time >> (8 * i));
    return bytes;
}

// Indices of `versions`, newest version first; equal versions keep their order. One sort of
// plain indices serves every catalogue scan.
std::vector<std::size_t> newestFirst(const std::vector<std::string>& versions) {
    std::vector<std::size_t> order(versions.size());
    for (std::size_t i = 0; i < order.size(); ++i) order[i] = i;
    std::sort(order.begin(), order.end(), [&versions](std::size_t a, std::size_t b) {
        const int comparison = compareVersionTexts(versions[a], versions[b]);
        return comparison != 0 ? comparison > 0 : a < b;
    });
    return order;
}

// The catalogue key without the separator that path keys are appended to.
std::string withoutTrailingSeparator(std::string key) {
    while (!key.empty() && key.back() == '\\') key.pop_back();
    return key;
}

// The development-kit catalogues, the pre-9 one first, and likewise the runtime catalogues.
const std::vector<std::string> kJdkCatalogues = {kJavaSoftJdkKey, kJavaSoftJdk9Key};
const std::vector<std::string> kJreCatalogues = {kJavaSoftJreKey, kJavaSoftJre9Key};

// A JavaSoft "CurrentVersion" that keyNameInRange accepts, else "".
std::string currentVersionOf(Launcher& l, const std::string& key, const VersionRange& range) {
    auto version = readRegistryValue(l, Hive::LocalMachine, key, "CurrentVersion", kCurrentVersionBytes);
    if (!version || !keyNameInRange(*version, range)) return {};
    return *version;
}

// The greatest accepted "CurrentVersion" among catalogues of one kind, with the key of its
// entry ("" when none has one).
std::pair<std::string, std::string> currentEntryOf(Launcher& l, const std::vector<std::string>& catalogues,
                                                   const VersionRange& range) {
    std::pair<std::string, std::string> best;
    for (const std::string& catalogue : catalogues) {
        const std::string version = currentVersionOf(l, catalogue, range);
        if (!version.empty() && compareVersionTexts(version, best.second) > 0) best = {catalogue + "\\" + version, version};
    }
    return best;
}

// A vendor's own catalogue: one sub-key per installed version below `key`, named `prefix` and the
// version (Azul adds "-jre" for a runtime without the kit), with the home in `value` of the key
// `below` that sub-key. A kit requirement needs no filter: homes without the kit fail it.
struct VendorCatalogue {
    const char* key;
    const char* prefix;
    const char* below;
    const char* value;
};

// Read after the JavaSoft catalogues; on equal versions in this order.
constexpr VendorCatalogue kVendorCatalogues[] = {
    {"SOFTWARE\\Eclipse Adoptium\\JDK", "", "\\hotspot\\MSI", "Path"},
    {"SOFTWARE\\Eclipse Adoptium\\JRE", "", "\\hotspot\\MSI", "Path"},
    {"SOFTWARE\\Microsoft\\JDK", "", "\\hotspot\\MSI", "Path"},
    {"SOFTWARE\\Azul Systems\\Zulu", "zulu-", "", "InstallationPath"},
};

// A vendor's version in the form the runtime reports: releases up to 8 are named by their
// vendors "8" or "8.0.452.9", by the runtime "1.8.0_452".
std::string javaStyleVersion(std::string_view version) {
    const std::size_t digits = std::min(version.size(), version.find_first_not_of("0123456789"));
    if (digits == 1 && version[0] >= '2' && version[0] <= '8') return "1." + std::string(version);
    return std::string(version);
}

// The runtime below the home a registry key names in `value`, checked without beta versions.
// A separator that installers leave at the end of the home is dropped.
std::optional<JvmCandidate> checkRegisteredHome(Launcher& l, const std::string& key, const char* value,
                                                const VersionRange& range) {
    auto home = readRegistryValue(l, Hive::LocalMachine, key, value, kValueBytes);
    if (!home) return std::nullopt;
    *home = withoutTrailingSeparator(*home);
    if (home->empty()) return std::nullopt;
    JvmCandidate candidate;
    if (!javaHomeToJavaExe(l, candidate.javaExe, *home)) return std::nullopt;
    if (!checkJavaExe(l, candidate.javaExe, candidate.version, range, false)) return std::nullopt;
    return candidate;
}

std::optional<JvmCandidate> checkJavaSoftHome(Launcher& l, const std::string& key, const VersionRange& range) {
    return checkRegisteredHome(l, key, "JavaHome", range);
}

// Whether a candidate's version is greater than another's (the other missing counts as smaller).
bool greaterThan(const JvmCandidate& a, const JvmCandidate& b) {
    return compareVersionTexts(a.version, b.version) > 0;
}

}  // namespace

std::optional<std::string> readRegistryValue(Launcher& l, Hive hive, const std::string& key,
                                             const std::string& name, std::size_t maxBytes) {
    auto value = l.os.registry.queryValue(hive, key, name);
    if (!value || value->data.size() > maxBytes) return std::nullopt;
    std::string text(value->data.begin(), value->data.end());
    text.resize(std::min(text.size(), text.find('\0')));
    return text;
}

std::string jvmPathKey(std::string_view javaExe) {
    std::string key(javaExe);
    std::replace(key.begin(), key.end(), '\\', '/');
    return key;
}

std::optional<std::string> lookupCachedVersion(Launcher& l, const std::string& javaExe, std::uint64_t lastWriteTime) {
    const std::string key = kVersionCacheKey + jvmPathKey(javaExe);
    auto time = l.os.registry.queryValue(Hive::CurrentUser, key, "LastWriteTime");
    if (!time || time->data != fileTimeBytes(lastWriteTime)) return std::nullopt;
    return readRegistryValue(l, Hive::CurrentUser, key, "Version", kValueBytes);
}

void storeCachedVersion(Launcher& l, const std::string& javaExe, std::uint64_t lastWriteTime,
                        const std::string& version) {
    const std::string key = kVersionCacheKey + jvmPathKey(javaExe);
    if (!l.os.registry.setValue(Hive::CurrentUser, key, "LastWriteTime", RegType::Binary, fileTimeBytes(lastWriteTime)))
        return;
    l.os.registry.setValue(Hive::CurrentUser, key, "Version", RegType::String,
                           std::vector<std::uint8_t>(version.begin(), version.end()));
}

void recordLocatedJvm(Launcher& l, const std::string& javaExe) {
    // The key's name is the data: machine-wide when allowed, else for the user.
    const std::string key = kLocatedJvmsKey + jvmPathKey(javaExe);
    if (l.os.registry.createKey(Hive::LocalMachine, key)) return;
    l.os.registry.createKey(Hive::CurrentUser, key);
}

std::optional<JvmCandidate> findCurrentJavaSoftJvm(Launcher& l, const VersionRange& range) {
    const auto jdk = currentEntryOf(l, kJdkCatalogues, range);
    auto jre = l.store.getIntProperty(prop::requireJdk) == 0 ? currentEntryOf(l, kJreCatalogues, range)
                                                               : std::pair<std::string, std::string>();
    if (jre.first.empty()) jre.first = std::string(kJavaSoftJreKey) + "\\";
    return checkJavaSoftHome(l, compareVersionTexts(jdk.second, jre.second) > 0 ? jdk.first : jre.first, range);
}

std::optional<JvmCandidate> scanJavaSoftCatalogue(Launcher& l, const VersionRange& range, const std::string& key) {
    return scanJavaSoftCatalogues(l, range, {key});
}

std::optional<JvmCandidate> scanJavaSoftCatalogues(Launcher& l, const VersionRange& range,
                                                   const std::vector<std::string>& keys) {
    std::vector<std::string> names;         // accepted sub-key names (versions)
    std::vector<const std::string*> owners;  // the catalogue of each
    for (const std::string& key : keys)
        if (auto subKeys = l.os.registry.subKeys(Hive::LocalMachine, key))
            for (const auto& sub : *subKeys)
                if (keyNameInRange(sub.name, range)) {
                    names.push_back(sub.name);
                    owners.push_back(&key);
                }
    for (std::size_t i : newestFirst(names))
        if (auto found = checkJavaSoftHome(l, *owners[i] + "\\" + names[i], range)) return found;
    return std::nullopt;
}

std::optional<JvmCandidate> findJavaSoftJvm(Launcher& l, const VersionRange& range) {
    if (auto current = findCurrentJavaSoftJvm(l, range)) return current;
    if (l.store.getIntProperty(prop::requireJdk) == 0)
        if (auto jre = scanJavaSoftCatalogues(l, range, kJreCatalogues)) return jre;
    if (auto jdk = scanJavaSoftCatalogues(l, range, kJdkCatalogues)) return jdk;
    return scanVendorCatalogues(l, range);
}

std::optional<JvmCandidate> scanVendorCatalogues(Launcher& l, const VersionRange& range) {
    struct Entry {
        std::string key;
        const char* value;
    };
    std::vector<std::string> versions;
    std::vector<Entry> entries;
    for (const VendorCatalogue& catalogue : kVendorCatalogues) {
        auto subKeys = l.os.registry.subKeys(Hive::LocalMachine, catalogue.key);
        if (!subKeys) continue;
        for (const auto& sub : *subKeys) {
            std::string_view version(sub.name);
            if (!version.starts_with(catalogue.prefix)) continue;
            version.remove_prefix(std::string_view(catalogue.prefix).size());
            if (version.ends_with("-jre")) version.remove_suffix(4);
            const std::string javaVersion = javaStyleVersion(version);
            if (version.empty() || !keyNameInRange(javaVersion, range)) continue;
            versions.push_back(javaVersion);
            entries.push_back({catalogue.key + ("\\" + sub.name) + catalogue.below, catalogue.value});
        }
    }
    for (std::size_t i : newestFirst(versions))
        if (auto found = checkRegisteredHome(l, entries[i].key, entries[i].value, range)) return found;
    return std::nullopt;
}

std::optional<JvmCandidate> scanLocatedJvms(Launcher& l, Hive hive, const VersionRange& range) {
    auto subKeys = l.os.registry.subKeys(hive, withoutTrailingSeparator(kLocatedJvmsKey));
    if (!subKeys) return std::nullopt;
    std::optional<JvmCandidate> best;
    for (const auto& sub : *subKeys) {
        JvmCandidate candidate;
        candidate.javaExe = sub.name;
        std::replace(candidate.javaExe.begin(), candidate.javaExe.end(), '/', '\\');
        if (!checkJavaExe(l, candidate.javaExe, candidate.version, range, true)) continue;
        if (!best || greaterThan(candidate, *best)) best = std::move(candidate);
    }
    return best;
}

std::optional<JvmCandidate> findLocatedJvm(Launcher& l, const VersionRange& range) {
    auto user = scanLocatedJvms(l, Hive::CurrentUser, range);
    auto machine = scanLocatedJvms(l, Hive::LocalMachine, range);
    if (user && machine) return greaterThan(*user, *machine) ? user : machine;
    return user ? user : machine;
}

std::optional<std::string> findRegistryJvm(Launcher& l, const VersionRange& range) {
    auto javaSoft = findJavaSoftJvm(l, range);
    auto located = findLocatedJvm(l, range);
    if (javaSoft) l.log.message("found sun %s %s", javaSoft->javaExe.c_str(), javaSoft->version.c_str());
    if (located) l.log.message("found located %s %s", located->javaExe.c_str(), located->version.c_str());
    if (javaSoft && located) return greaterThan(*javaSoft, *located) ? javaSoft->javaExe : located->javaExe;
    if (javaSoft) return javaSoft->javaExe;
    if (located) return located->javaExe;
    return std::nullopt;
}

std::optional<std::string> findPreviousInstallation(Launcher& l, Hive hive, const VersionRange& range) {
    const std::string& applicationId = l.store.getProperty(prop::applicationId);
    if (applicationId.empty()) return std::nullopt;
    auto list = readRegistryValue(l, hive, kInstallationsKey, applicationId, kValueBytes);
    if (!list || list->empty()) return std::nullopt;
    l.log.message("found installations: %s", list->c_str());
    for (const std::string& dir : splitList(*list)) {
        std::string javaExe;
        std::string version;
        if (!javaHomeToJavaExe(l, javaExe, dir + "\\jre")) continue;
        if (checkJavaExeWithCache(l, javaExe, version, range, false, true)) return javaExe;
    }
    return std::nullopt;
}

}  // namespace zendra
