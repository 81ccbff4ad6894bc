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

// The system a package is for: a Windows launcher (PE) reads its 8-bit texts in the ANSI code
// page and carries resources; the Linux edition (ELF) reads UTF-8 and carries none.
enum class TargetSystem { Windows, Linux };

// Builds a package from a description. Included files given by "source" and the resource
// files are read relative to baseDir (resource files only for Windows: the Linux edition takes
// their roles alone); 8-bit texts are converted to the description's "codePage" for Windows;
// properties 2002 and 2003 are added for the files unless given explicitly.
// notes receives warnings. Throws PackError naming the offending entry.
Package packageFromJson(std::string_view text, const std::filesystem::path& baseDir,
                        std::vector<std::string>& notes, TargetSystem target = TargetSystem::Windows);

// The description of a package that packs back to the same record: 8-bit texts that convert
// from codePage and back unchanged as text, others as hex. File entries carry their size, and
// with extractDir also "source" naming the extracted copy.
Json packageToJson(const Package& package, const std::optional<std::filesystem::path>& extractDir,
                   std::uint32_t codePage);

}  // namespace zendra::pack
