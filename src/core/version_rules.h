// The version rules: runtimes are compared by the characters of their version texts, never as numbers.
#pragma once

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

// Byte-wise comparison (unsigned) of at most n characters; a text that ends first is smaller.
int comparePrefix(std::string_view a, std::string_view b, std::size_t n);

// Byte-wise comparison of whole texts, as used to rank candidates (negative, 0, positive).
int compareVersionTexts(std::string_view a, std::string_view b);

// Whether a version contains "beta", "ea" or "rc".
bool looksLikeBeta(std::string_view version);

// The beta rule and the prefix bounds: minimum over its own length, maximum over its own length.
bool versionInRange(Launcher& l, std::string_view version, const VersionRange& range, bool allowBeta);

// Whether a registry sub-key name (often a version family such as 1.6) may hold a version in range.
bool keyNameInRange(std::string_view name, const VersionRange& range);

}  // namespace zendra
