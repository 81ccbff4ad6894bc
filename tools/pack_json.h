// The readable JSON description of a package (see tools/README.md for the format).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "pack_model.h"

namespace zendra::pack {

// JSON that keeps the order of object members.
using Json = nlohmann::ordered_json;

// Builds a package from a description. Included files given by "source" and the resource
// files are read relative to baseDir (resource files only with readResources: a launcher
// without resources takes their roles alone); properties 2002 and 2003 are added for the
// files unless given explicitly.
// notes receives warnings. Throws PackError naming the offending entry.
Package packageFromJson(std::string_view text, const std::filesystem::path& baseDir,
                        std::vector<std::string>& notes, bool readResources = true);

// The description of a package that packs back to the same record. File entries carry
// their size, and with extractDir also "source" naming the extracted copy.
Json packageToJson(const Package& package, const std::optional<std::filesystem::path>& extractDir);

}  // namespace zendra::pack
