// Helpers shared by the parser fuzz targets: property checks that end the run so that
// libFuzzer keeps the input, and the parts of a structured input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

namespace zendra::fuzz {

// Ends the run as a crash when a property does not hold; libFuzzer saves the input.
inline void check(bool holds, const char* property) {
    if (holds) return;
    std::fprintf(stderr, "property violated: %s\n", property);
    std::abort();
}

// A line of its own that separates the parts of an input.
inline constexpr std::string_view kPartSeparator = "\n---\n";

// The input as text, cut at each separator line into at most count parts (missing ones empty).
inline std::vector<std::string> parts(const std::uint8_t* data, std::size_t size, std::size_t count) {
    std::string_view rest(reinterpret_cast<const char*>(data), size);
    std::vector<std::string> out;
    while (out.size() + 1 < count) {
        const std::size_t cut = rest.find(kPartSeparator);
        if (cut == std::string_view::npos) break;
        out.emplace_back(rest.substr(0, cut));
        rest.remove_prefix(cut + kPartSeparator.size());
    }
    out.emplace_back(rest);
    out.resize(count);
    return out;
}

// The lines of a text (split at LF; a final LF ends the last line).
inline std::vector<std::string> lines(std::string_view text) {
    std::vector<std::string> out;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        out.emplace_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return out;
}

}  // namespace zendra::fuzz
