#include "jvm_registry.h"

#include <algorithm>
#include <vector>

#include "java_check.h"
#include "java_runtime.h"
#include "property_ids.h"
#include "text.h"

namespace zendra {
namespace {

constexpr std::size_t kCurrentVersionBytes = 100;
constexpr std::size_t kValueBytes = 8192;

std::vector<std::uint8_t> fileTimeBytes(std::uint64_t time) {
    std::vector<std::uint8_t> bytes(8);
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(time >> (8 * i));
    return bytes;
}

// A catalogue key followed by a java.exe path as one sub-key name.
std::string pathKeyBelow(std::string_view catalogue, std::string_view javaExe) {
    std::string key = concat({catalogue, javaExe});
    std::replace(key.begin() + static_cast<std::ptrdiff_t>(catalogue.size()), key.end(), '\\', '/');
    return key;
}

// The JavaSoft catalogues: the runtime ones (the pre-9 one first), then the development-kit ones.
constexpr const char* kJavaSoftCatalogues[] = {kJavaSoftJreKey, kJavaSoftJre9Key, kJavaSoftJdkKey,
                                               kJavaSoftJdk9Key};

// A catalogue: one sub-key per installed version below `key`, with the home in `value` of the key
// `below` that sub-key. A vendor's own catalogue names each sub-key `prefix` and the version (Azul
// adds "-jre" for a runtime without the kit). A kit requirement needs no filter: homes without the
// kit fail it.
struct VendorCatalogue {
    std::string_view key;
    std::string_view prefix;
    std::string_view below;
    const char* value;
};

// Read after the JavaSoft catalogues; on equal versions in this order.
constexpr VendorCatalogue kVendorCatalogues[] = {
    {"SOFTWARE\\Eclipse Adoptium\\JDK", "", "\\hotspot\\MSI", "Path"},
    {"SOFTWARE\\Eclipse Adoptium\\JRE", "", "\\hotspot\\MSI", "Path"},
    {"SOFTWARE\\Microsoft\\JDK", "", "\\hotspot\\MSI", "Path"},
    {"SOFTWARE\\Azul Systems\\Zulu", "zulu-", "", "InstallationPath"},
};

// The version a vendor names a sub-key by, in the form the runtime reports; "" when the name is
// not one. Releases up to 8 are named by their vendors "8" or "8.0.452.9", by the runtime "1.8.0_452".
std::string vendorVersion(std::string_view name, std::string_view prefix) {
    if (!name.starts_with(prefix)) return {};
    name.remove_prefix(prefix.size());
    if (name.ends_with("-jre")) name.remove_suffix(4);
    const std::size_t digits = std::min(name.size(), name.find_first_not_of("0123456789"));
    return concat({digits == 1 && name[0] >= '2' && name[0] <= '8' ? "1." : "", name});
}

// The runtime below the home a registry key names in `value`, checked without beta versions.
// A separator that installers leave at the end of the home is dropped.
std::optional<JvmCandidate> checkRegisteredHome(Launcher& l, std::string_view key, const char* value,
                                                const VersionRange& range) {
    auto home = readRegistryValue(l, Hive::LocalMachine, key, value, kValueBytes);
    if (!home) return std::nullopt;
    while (!home->empty() && home->back() == '\\') home->pop_back();
    if (home->empty()) return std::nullopt;
    JvmCandidate candidate;
    if (!javaHomeToJavaExe(l, candidate.javaExe, *home)) return std::nullopt;
    if (!checkJavaExe(l, candidate.javaExe, candidate.version, range, false)) return std::nullopt;
    return candidate;
}

// One catalogue entry found by a scan: its version, the key of its home and the value naming it.
struct CatalogueEntry {
    std::string version;
    std::string key;
    const char* value;
    bool tried = false;
};

// Adds the catalogue's sub-keys whose versions may be in range; a vendor's names are read as its
// versions, the JavaSoft ones as they stand.
void collectEntries(Launcher& l, const VersionRange& range, const VendorCatalogue& catalogue, bool vendorNames,
                    std::vector<CatalogueEntry>& entries) {
    auto subKeys = l.os.registry.subKeys(Hive::LocalMachine, std::string(catalogue.key));
    if (!subKeys) return;
    for (const auto& sub : *subKeys) {
        std::string version = vendorNames ? vendorVersion(sub.name, catalogue.prefix) : sub.name;
        if (!version.empty() && keyNameInRange(version, range))
            entries.push_back({std::move(version), concat({catalogue.key, "\\", sub.name, catalogue.below}),
                               catalogue.value});
    }
}

// The entries' runtimes, greatest version first (the earlier entry first on equal versions); the
// first that passes. Catalogues hold a handful of entries, so each round picks the greatest left.
std::optional<JvmCandidate> checkNewestFirst(Launcher& l, std::vector<CatalogueEntry>& entries,
                                             const VersionRange& range) {
    for (std::size_t left = entries.size(); left > 0; --left) {
        CatalogueEntry* newest = nullptr;
        for (CatalogueEntry& entry : entries)
            if (!entry.tried && (!newest || compareVersionTexts(entry.version, newest->version) > 0)) newest = &entry;
        newest->tried = true;
        if (auto found = checkRegisteredHome(l, newest->key, newest->value, range)) return found;
    }
    return std::nullopt;
}

// Whether a candidate's version is greater than another's (the other missing counts as smaller).
bool greaterThan(const JvmCandidate& a, const JvmCandidate& b) {
    return compareVersionTexts(a.version, b.version) > 0;
}

}  // namespace

std::optional<std::string> readRegistryValue(Launcher& l, Hive hive, std::string_view key, std::string_view name,
                                             std::size_t maxBytes) {
    auto value = l.os.registry.queryValue(hive, std::string(key), std::string(name));
    if (!value || value->data.size() > maxBytes) return std::nullopt;
    const std::vector<std::uint8_t>& data = value->data;
    return std::string(data.begin(), std::find(data.begin(), data.end(), 0));
}

std::string jvmPathKey(std::string_view javaExe) { return pathKeyBelow({}, javaExe); }

std::optional<std::string> lookupCachedVersion(Launcher& l, const std::string& javaExe, std::uint64_t lastWriteTime) {
    const std::string key = pathKeyBelow(kVersionCacheKey, javaExe);
    auto time = l.os.registry.queryValue(Hive::CurrentUser, key, "LastWriteTime");
    if (!time || time->data != fileTimeBytes(lastWriteTime)) return std::nullopt;
    return readRegistryValue(l, Hive::CurrentUser, key, "Version", kValueBytes);
}

void storeCachedVersion(Launcher& l, const std::string& javaExe, std::uint64_t lastWriteTime,
                        const std::string& version) {
    const std::string key = pathKeyBelow(kVersionCacheKey, javaExe);
    if (!l.os.registry.setValue(Hive::CurrentUser, key, "LastWriteTime", RegType::Binary, fileTimeBytes(lastWriteTime)))
        return;
    l.os.registry.setValue(Hive::CurrentUser, key, "Version", RegType::String,
                           std::vector<std::uint8_t>(version.begin(), version.end()));
}

void recordLocatedJvm(Launcher& l, const std::string& javaExe) {
    // The key's name is the data: machine-wide when allowed, else for the user.
    const std::string key = pathKeyBelow(kLocatedJvmsKey, javaExe);
    if (l.os.registry.createKey(Hive::LocalMachine, key)) return;
    l.os.registry.createKey(Hive::CurrentUser, key);
}

std::optional<JvmCandidate> findCurrentJavaSoftJvm(Launcher& l, const VersionRange& range) {
    // The first greatest accepted "CurrentVersion", runtimes before kits: a kit wins only with a
    // greater version. Without any, the runtime catalogue's own key is read.
    std::string best;
    std::size_t bestCatalogue = 0;
    const std::size_t first = l.store.getIntProperty(prop::requireJdk) == 0 ? 0 : 2;
    for (std::size_t i = first; i < std::size(kJavaSoftCatalogues); ++i) {
        auto version = readRegistryValue(l, Hive::LocalMachine, kJavaSoftCatalogues[i], "CurrentVersion",
                                         kCurrentVersionBytes);
        if (!version || !keyNameInRange(*version, range) || compareVersionTexts(*version, best) <= 0) continue;
        bestCatalogue = i;
        best = std::move(*version);
    }
    return checkRegisteredHome(l, concat({kJavaSoftCatalogues[bestCatalogue], "\\", best}), "JavaHome", range);
}

std::optional<JvmCandidate> scanJavaSoftCatalogue(Launcher& l, const VersionRange& range, std::string_view key) {
    return scanJavaSoftCatalogues(l, range, {key});
}

std::optional<JvmCandidate> scanJavaSoftCatalogues(Launcher& l, const VersionRange& range,
                                                   std::initializer_list<std::string_view> keys) {
    std::vector<CatalogueEntry> entries;
    for (std::string_view key : keys) collectEntries(l, range, {key, {}, {}, "JavaHome"}, false, entries);
    return checkNewestFirst(l, entries, range);
}

std::optional<JvmCandidate> findJavaSoftJvm(Launcher& l, const VersionRange& range) {
    if (auto current = findCurrentJavaSoftJvm(l, range)) return current;
    if (l.store.getIntProperty(prop::requireJdk) == 0)
        if (auto jre = scanJavaSoftCatalogues(l, range, {kJavaSoftJreKey, kJavaSoftJre9Key})) return jre;
    if (auto jdk = scanJavaSoftCatalogues(l, range, {kJavaSoftJdkKey, kJavaSoftJdk9Key})) return jdk;
    return scanVendorCatalogues(l, range);
}

std::optional<JvmCandidate> scanVendorCatalogues(Launcher& l, const VersionRange& range) {
    std::vector<CatalogueEntry> entries;
    for (const VendorCatalogue& catalogue : kVendorCatalogues) collectEntries(l, range, catalogue, true, entries);
    return checkNewestFirst(l, entries, range);
}

std::optional<JvmCandidate> scanLocatedJvms(Launcher& l, Hive hive, const VersionRange& range) {
    const std::string_view catalogue(kLocatedJvmsKey);
    auto subKeys = l.os.registry.subKeys(hive, std::string(catalogue.substr(0, catalogue.size() - 1)));
    if (!subKeys) return std::nullopt;
    std::optional<JvmCandidate> best;
    for (auto& sub : *subKeys) {
        JvmCandidate candidate{std::move(sub.name), {}};
        std::replace(candidate.javaExe.begin(), candidate.javaExe.end(), '/', '\\');
        if (!checkJavaExe(l, candidate.javaExe, candidate.version, range, true)) continue;
        if (!best || greaterThan(candidate, *best)) best = std::move(candidate);
    }
    return best;
}

std::optional<JvmCandidate> findLocatedJvm(Launcher& l, const VersionRange& range) {
    auto user = scanLocatedJvms(l, Hive::CurrentUser, range);
    auto machine = scanLocatedJvms(l, Hive::LocalMachine, range);
    if (user && (!machine || greaterThan(*user, *machine))) return user;
    return machine;
}

std::optional<std::string> findRegistryJvm(Launcher& l, const VersionRange& range) {
    auto javaSoft = findJavaSoftJvm(l, range);
    auto located = findLocatedJvm(l, range);
    if (javaSoft) l.log.message("found sun %s %s", javaSoft->javaExe.c_str(), javaSoft->version.c_str());
    if (located) l.log.message("found located %s %s", located->javaExe.c_str(), located->version.c_str());
    if (javaSoft && (!located || greaterThan(*javaSoft, *located))) return std::move(javaSoft->javaExe);
    if (located) return std::move(located->javaExe);
    return std::nullopt;
}

std::optional<std::string> findPreviousInstallation(Launcher& l, Hive hive, const VersionRange& range) {
    const std::string& applicationId = l.store.getProperty(prop::applicationId);
    if (applicationId.empty()) return std::nullopt;
    auto list = readRegistryValue(l, hive, kInstallationsKey, applicationId, kValueBytes);
    if (!list || list->empty()) return std::nullopt;
    l.log.message("found installations: %s", list->c_str());
    std::string javaExe;
    std::string version;
    for (const std::string& dir : splitList(*list))
        if (javaHomeToJavaExe(l, javaExe, concat({dir, "\\jre"})) &&
            checkJavaExeWithCache(l, javaExe, version, range, false, true))
            return javaExe;
    return std::nullopt;
}

}  // namespace zendra
