// The launcher's PE headers as far as packaging needs them: where the record goes.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "launcher_image.h"  // launcherImage and packageExecutable, for either kind
#include "pack_model.h"

namespace zendra::pack {

// What the headers say about the section table, read the way the launcher reads them.
struct PeLayout {
    std::uint32_t peOffset = 0;            // e_lfanew
    std::int16_t sectionCount = 0;         // NumberOfSections, signed
    std::int16_t optionalHeaderSize = 0;   // SizeOfOptionalHeader, signed
    std::uint64_t lastHeader = 0;          // file offset of the last section header
    std::uint64_t recordOffset = 0;        // raw data end of the last section header
    std::uint64_t largestEnd = 0;          // largest raw data end over all sections
    std::uint32_t largestSection = 0;      // index of the section with that end
};

// Checks that bytes hold a PE file whose section table lies inside it; throws PackError
// ("not a PE file: ...") otherwise.
PeLayout inspectPe(std::span<const std::uint8_t> bytes);

// The launcher part of a packaged PE file: bytes up to the record offset. Data already behind
// it is dropped (with a note), and header references into the dropped part (certificate
// table, COFF symbol table) are cleared. Refuses images the record would overwrite.
std::vector<std::uint8_t> peLauncherImage(std::span<const std::uint8_t> bytes, std::vector<std::string>& notes);

}  // namespace zendra::pack
