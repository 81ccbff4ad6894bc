#include "version_rules.h"

#include <algorithm>

#include "property_ids.h"

namespace zendra {

VersionRange readVersionRange(const Launcher& l) {
    return {l.store.getProperty(prop::minJavaVersion), l.store.getProperty(prop::maxJavaVersion)};
}

int comparePrefix(std::string_view a, std::string_view b, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        const bool aEnds = i >= a.size();
        const bool bEnds = i >= b.size();
        if (aEnds || bEnds) return aEnds && bEnds ? 0 : (aEnds ? -1 : 1);
        const auto ca = static_cast<unsigned char>(a[i]);
        const auto cb = static_cast<unsigned char>(b[i]);
        if (ca != cb) return ca < cb ? -1 : 1;
    }
    return 0;
}

int compareVersionTexts(std::string_view a, std::string_view b) {
    return comparePrefix(a, b, std::max(a.size(), b.size()));
}

bool looksLikeBeta(std::string_view version) {
    for (std::string_view marker : {"beta", "ea", "rc"})
        if (version.find(marker) != std::string_view::npos) return true;
    return false;
}

bool versionInRange(Launcher& l, std::string_view version, const VersionRange& range, bool allowBeta) {
    if (!allowBeta && l.store.getIntProperty(prop::allowBetaJava) == 0 && looksLikeBeta(version)) {
        l.log.message("beta vm not allowed");
        return false;
    }
    if (comparePrefix(version, range.minimum, range.minimum.size()) < 0) return false;
    return comparePrefix(version, range.maximum, range.maximum.size()) <= 0;
}

bool keyNameInRange(std::string_view name, const VersionRange& range) {
    if (comparePrefix(name, range.minimum, std::min(name.size(), range.minimum.size())) < 0) return false;
    return comparePrefix(name, range.maximum, std::min(name.size(), range.maximum.size())) <= 0;
}

}  // namespace zendra
