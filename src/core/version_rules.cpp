#include "version_rules.h"

#include <algorithm>

#include "property_ids.h"

namespace zendra {
namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

// The piece of a version text that starts at pos: a run of digits, or one other character.
std::string_view pieceAt(std::string_view text, std::size_t pos) {
    std::size_t end = pos + 1;
    if (isDigit(text[pos]))
        while (end < text.size() && isDigit(text[end])) ++end;
    return text.substr(pos, end - pos);
}

// Two numbers of any length compared by value: leading zeros dropped, then length, then digits.
int compareNumbers(std::string_view a, std::string_view b) {
    a.remove_prefix(std::min(a.find_first_not_of('0'), a.size()));
    b.remove_prefix(std::min(b.find_first_not_of('0'), b.size()));
    if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
    const int c = a.compare(b);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

int comparePieces(std::string_view a, std::string_view b) {
    if (isDigit(a.front()) && isDigit(b.front())) return compareNumbers(a, b);
    const auto ca = static_cast<unsigned char>(a.front());
    const auto cb = static_cast<unsigned char>(b.front());
    return ca == cb ? 0 : (ca < cb ? -1 : 1);
}

}  // namespace

VersionRange readVersionRange(const Launcher& l) {
    return {l.store.getProperty(prop::minJavaVersion), l.store.getProperty(prop::maxJavaVersion)};
}

std::size_t versionPieceCount(std::string_view version) {
    std::size_t count = 0;
    for (std::size_t pos = 0; pos < version.size(); pos += pieceAt(version, pos).size()) ++count;
    return count;
}

int compareVersionPrefix(std::string_view a, std::string_view b, std::size_t n) {
    std::size_t posA = 0;
    std::size_t posB = 0;
    for (std::size_t i = 0; i < n; ++i) {
        const bool aEnds = posA >= a.size();
        const bool bEnds = posB >= b.size();
        if (aEnds || bEnds) return aEnds && bEnds ? 0 : (aEnds ? -1 : 1);
        const std::string_view pa = pieceAt(a, posA);
        const std::string_view pb = pieceAt(b, posB);
        if (const int c = comparePieces(pa, pb); c != 0) return c;
        posA += pa.size();
        posB += pb.size();
    }
    return 0;
}

int compareVersionTexts(std::string_view a, std::string_view b) {
    return compareVersionPrefix(a, b, std::max(versionPieceCount(a), versionPieceCount(b)));
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
    if (compareVersionPrefix(version, range.minimum, versionPieceCount(range.minimum)) < 0) return false;
    return compareVersionPrefix(version, range.maximum, versionPieceCount(range.maximum)) <= 0;
}

bool keyNameInRange(std::string_view name, const VersionRange& range) {
    const std::size_t pieces = versionPieceCount(name);
    if (compareVersionPrefix(name, range.minimum, std::min(pieces, versionPieceCount(range.minimum))) < 0) return false;
    return compareVersionPrefix(name, range.maximum, std::min(pieces, versionPieceCount(range.maximum))) <= 0;
}

}  // namespace zendra
