// The version rules: version texts are compared piece by piece, runs of digits as numbers and
// every other character as itself, so that 10 comes after 9 and 1.6.0_20 after 1.6.0_3.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "launcher.h"

namespace zendra {

// The configured minimum and maximum Java version (properties 126 and 127); empty sets no bound.
struct VersionRange {
    std::string minimum;
    std::string maximum;
};

// The version range of the configuration.
VersionRange readVersionRange(const Launcher& l);

// The number of pieces of a version text (runs of digits count as one piece).
std::size_t versionPieceCount(std::string_view version);

// Compares the first n pieces of two version texts (negative, 0, positive); a text that ends
// first is smaller.
int compareVersionPrefix(std::string_view a, std::string_view b, std::size_t n);

// Compares whole version texts, as used to rank candidates (negative, 0, positive).
int compareVersionTexts(std::string_view a, std::string_view b);

// Whether a version contains "beta", "ea" or "rc".
bool looksLikeBeta(std::string_view version);

// The beta rule and the prefix bounds: the version is compared with each bound over the
// bound's own pieces, so every version that begins with the maximum is inside.
bool versionInRange(Launcher& l, std::string_view version, const VersionRange& range, bool allowBeta);

// Whether a registry sub-key name (often a version family such as 1.6) may hold a version in range.
bool keyNameInRange(std::string_view name, const VersionRange& range);

}  // namespace zendra
