// Read-only view of a PE file's resource directory (type, name and language levels).
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace zendra::pack {

// A resource type or name: a numeric id, or a text name when name is not empty.
struct ResourceKey {
    std::uint16_t id = 0;
    std::u16string name;

    // The key of a numeric id.
    static ResourceKey number(std::uint16_t value) { return {value, {}}; }
    // The key of a text name.
    static ResourceKey text(std::u16string value) { return {0, std::move(value)}; }
    // Whether the key is a text name.
    bool isName() const { return !name.empty(); }
    // "#" and the decimal id, or the name as UTF-8: the resource helper's form.
    std::string argument() const;
    // Equal when both are the same id or the same name.
    friend bool operator==(const ResourceKey&, const ResourceKey&) = default;
};

// Standard resource type ids.
namespace rt {
inline constexpr std::uint16_t icon = 3;
inline constexpr std::uint16_t bitmap = 2;
inline constexpr std::uint16_t rcdata = 10;
inline constexpr std::uint16_t groupIcon = 14;
}  // namespace rt

// One resource found in a PE file, with a copy of its data.
struct PeResource {
    ResourceKey type;
    ResourceKey name;
    std::uint16_t language = 0;
    std::vector<std::uint8_t> data;
};

// Every resource of a PE image in directory order; empty when it has no resource directory.
// Throws PackError when the directory or a data entry lies outside the file.
std::vector<PeResource> readResources(std::span<const std::uint8_t> image);

// One line per resource, such as "resource: bitmap 10000, language 0, 3000 bytes", or one
// note when the directory cannot be read.
std::vector<std::string> describeResources(std::span<const std::uint8_t> image);

// "bitmap 10000", "group icon \"ID_SPLASH_ICON\"", "type 300 7".
std::string describeKey(const ResourceKey& type, const ResourceKey& name);

}  // namespace zendra::pack
