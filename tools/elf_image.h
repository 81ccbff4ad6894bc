// The launcher's ELF headers as far as packaging needs them: where the record goes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pack_model.h"

namespace zendra::pack {

// What the headers say about the section header table and the section data, read the way
// the launcher reads them.
struct ElfLayout {
    bool wide = false;               // ELFCLASS64 (else ELFCLASS32)
    std::uint64_t tableOffset = 0;   // e_shoff
    std::uint16_t entrySize = 0;     // e_shentsize
    std::uint16_t sectionCount = 0;  // e_shnum
    std::uint64_t tableEnd = 0;      // end of the section header table
    std::uint64_t dataEnd = 0;       // largest file end of a section's data (SHT_NOBITS aside)
    std::uint64_t recordOffset = 0;  // the later of both: where the launcher expects its record
};

// Whether bytes start with the ELF magic (7F 'E' 'L' 'F').
bool hasElfMagic(std::span<const std::uint8_t> bytes);

// Checks that bytes hold a little-endian 32-bit or 64-bit ELF file whose section header table
// and section data lie inside it; throws PackError ("not a usable ELF file: ...") otherwise.
ElfLayout inspectElf(std::span<const std::uint8_t> bytes);

// The launcher part of a packaged ELF file: bytes up to the record offset. Data already
// behind it is dropped (with a note). Refuses images with a segment the record would overwrite.
std::vector<std::uint8_t> elfLauncherImage(std::span<const std::uint8_t> bytes, std::vector<std::string>& notes);

}  // namespace zendra::pack
