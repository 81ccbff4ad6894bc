// Launcher executables of either kind (PE or ELF): which kind a file is, where its record
// goes, and the packaged file.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pack_model.h"

namespace zendra::pack {

// The kinds of launcher executable the tool packages.
enum class LauncherFormat { Pe, Elf };

// The kind of launcher bytes hold, by their first bytes ("MZ", or 7F 'E' 'L' 'F'); throws
// PackError ("not a PE or ELF file: ...") for anything else.
LauncherFormat launcherFormat(std::span<const std::uint8_t> bytes);

// Checks the headers of either kind (inspectPe or inspectElf) and returns the kind.
LauncherFormat inspectLauncher(std::span<const std::uint8_t> bytes);

// The launcher part of a packaged file of either kind: bytes up to the place the launcher
// reads its record from; anything behind it is dropped with a note (peLauncherImage,
// elfLauncherImage).
std::vector<std::uint8_t> launcherImage(std::span<const std::uint8_t> bytes, std::vector<std::string>& notes);

// A packaged executable: launcher image, record and included-file data, nothing behind.
std::vector<std::uint8_t> packageExecutable(std::span<const std::uint8_t> launcher, const Package& package,
                                            std::vector<std::string>& notes);

}  // namespace zendra::pack
