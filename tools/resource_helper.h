// Running the Windows resource helper (zendra-rc.exe) under Wine on a launcher image.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "pack_resources.h"

namespace zendra::pack {

// Where the helper and Wine are.
struct HelperSetup {
    std::filesystem::path helper;
    std::filesystem::path wine;
};

// The default Wine loader.
inline constexpr const char* kDefaultWine = "/usr/lib/wine/wine64";

// The helper from --resource-helper (option), $ZENDRA_RESOURCE_HELPER or beside this program
// (as in the release archive), and Wine from
// $ZENDRA_WINE or the default; throws PackError with a one-line hint when either is missing.
HelperSetup findHelper(const std::optional<std::string>& option);

// Gives a copy of image exactly the planned resources by running the helper under Wine in a
// temporary directory, and returns it after checking it (checkUpdatedImage).
std::vector<std::uint8_t> runResourceHelper(std::span<const std::uint8_t> image, const std::vector<PeResource>& planned,
                                            const HelperSetup& setup);

// The launcher image with the description's resources added (image unchanged when there
// are none; the helper is only looked for when there are). notes receives warnings.
std::vector<std::uint8_t> addResources(std::vector<std::uint8_t> image, const std::vector<ResourceFile>& files,
                                       const std::optional<std::string>& helperOption, std::vector<std::string>& notes);

}  // namespace zendra::pack
