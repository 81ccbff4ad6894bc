#include "pe_image.h"

#include <limits>

namespace zendra::pack {
namespace {

constexpr std::size_t kFileHeaderSize = 24;  // signature and COFF file header
constexpr std::size_t kSectionHeaderSize = 40;
constexpr std::uint16_t kPe32Magic = 0x10b;
constexpr std::uint16_t kPe32PlusMagic = 0x20b;
constexpr std::uint32_t kSecurityDirectory = 4;

std::uint32_t u32(std::span<const std::uint8_t> bytes, std::uint64_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 4; i > 0; --i) value = (value << 8) | bytes[static_cast<std::size_t>(at) + i - 1];
    return value;
}

std::uint16_t u16(std::span<const std::uint8_t> bytes, std::uint64_t at) {
    const auto i = static_cast<std::size_t>(at);
    return static_cast<std::uint16_t>(bytes[i] | (bytes[i + 1] << 8));
}

void putU32(std::vector<std::uint8_t>& bytes, std::uint64_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) bytes[static_cast<std::size_t>(at) + i] = static_cast<std::uint8_t>(value >> (8 * i));
}

// Reads SizeOfRawData and PointerToRawData of section index as the launcher does (signed).
std::int64_t rawEnd(std::span<const std::uint8_t> bytes, std::uint64_t header, std::uint32_t index) {
    const auto size = static_cast<std::int32_t>(u32(bytes, header + 16));
    const auto offset = static_cast<std::int32_t>(u32(bytes, header + 20));
    if (size < 0 || offset < 0) {
        throw PackError("not a usable PE file: section " + std::to_string(index) +
                        " has raw data offsets of 2 GiB or more");
    }
    return std::int64_t{offset} + size;
}

void checkSignature(std::span<const std::uint8_t> bytes, PeLayout& layout) {
    if (bytes.size() < 64 || bytes[0] != 'M' || bytes[1] != 'Z') throw PackError("not a PE file: no MZ header");
    layout.peOffset = u32(bytes, 60);
    if (layout.peOffset > std::numeric_limits<std::int32_t>::max() ||
        std::uint64_t{layout.peOffset} + kFileHeaderSize > bytes.size()) {
        throw PackError("not a PE file: e_lfanew (" + std::to_string(layout.peOffset) +
                        ") points outside the file");
    }
    const std::uint8_t* sig = bytes.data() + layout.peOffset;
    if (sig[0] != 'P' || sig[1] != 'E' || sig[2] != 0 || sig[3] != 0) {
        throw PackError("not a PE file: no PE signature at offset " + std::to_string(layout.peOffset));
    }
}

}  // namespace

PeLayout inspectPe(std::span<const std::uint8_t> bytes) {
    PeLayout layout;
    checkSignature(bytes, layout);
    layout.sectionCount = static_cast<std::int16_t>(u16(bytes, layout.peOffset + 6));
    layout.optionalHeaderSize = static_cast<std::int16_t>(u16(bytes, layout.peOffset + 20));
    if (layout.sectionCount <= 0) throw PackError("not a usable PE file: it has no sections");
    if (layout.optionalHeaderSize < 0) throw PackError("not a usable PE file: bad optional header size");
    const std::uint64_t table = std::uint64_t{layout.peOffset} + kFileHeaderSize +
                                static_cast<std::uint64_t>(layout.optionalHeaderSize);
    const std::uint64_t tableEnd = table + kSectionHeaderSize * static_cast<std::uint64_t>(layout.sectionCount);
    if (tableEnd > bytes.size()) throw PackError("not a PE file: the section table runs past the end of the file");
    for (std::uint32_t i = 0; i < static_cast<std::uint32_t>(layout.sectionCount); ++i) {
        const std::uint64_t header = table + kSectionHeaderSize * i;
        const auto end = static_cast<std::uint64_t>(rawEnd(bytes, header, i));
        if (end >= layout.largestEnd) {
            layout.largestEnd = end;
            layout.largestSection = i;
        }
        layout.lastHeader = header;
        layout.recordOffset = end;
    }
    return layout;
}

namespace {

void checkRecordPlace(const PeLayout& layout, std::size_t size) {
    const auto last = static_cast<std::uint32_t>(layout.sectionCount - 1);
    if (layout.recordOffset > size) {
        throw PackError("not a usable PE file: the last section's raw data ends at " +
                        std::to_string(layout.recordOffset) + ", behind the end of the file (" +
                        std::to_string(size) + " bytes)");
    }
    if (layout.largestEnd > layout.recordOffset) {
        throw PackError("cannot package this PE file: section " + std::to_string(layout.largestSection) +
                        " ends at " + std::to_string(layout.largestEnd) + ", behind the end of the last section " +
                        std::to_string(last) + " (" + std::to_string(layout.recordOffset) +
                        ") where the launcher expects its record");
    }
    if (layout.recordOffset < layout.lastHeader + kSectionHeaderSize) {
        throw PackError("cannot package this PE file: the last section ends inside the headers");
    }
}

// Clears the certificate table entry when it points at data that is dropped.
void clearDroppedSignature(std::vector<std::uint8_t>& image, const PeLayout& layout, std::vector<std::string>& notes) {
    const std::uint64_t optional = std::uint64_t{layout.peOffset} + kFileHeaderSize;
    const std::uint64_t optionalEnd = optional + static_cast<std::uint64_t>(layout.optionalHeaderSize);
    if (optionalEnd < optional + 2) return;
    const std::uint16_t magic = u16(image, optional);
    const std::uint64_t countField = optional + (magic == kPe32PlusMagic ? 108 : 92);
    if (magic != kPe32Magic && magic != kPe32PlusMagic) return;
    const std::uint64_t entry = countField + 4 + 8 * kSecurityDirectory;
    if (entry + 8 > optionalEnd || u32(image, countField) <= kSecurityDirectory) return;
    const std::uint32_t offset = u32(image, entry);
    if (offset == 0 || offset < layout.recordOffset) return;
    putU32(image, entry, 0);
    putU32(image, entry + 4, 0);
    notes.push_back("note: the launcher's signature was dropped; sign the packaged file again");
}

// Clears the COFF symbol table pointer when the table lies in the dropped part.
void clearDroppedSymbols(std::vector<std::uint8_t>& image, const PeLayout& layout, std::vector<std::string>& notes) {
    const std::uint64_t field = std::uint64_t{layout.peOffset} + 12;
    const std::uint32_t symbols = u32(image, field);
    if (symbols == 0 || symbols < layout.recordOffset) return;
    putU32(image, field, 0);
    putU32(image, field + 4, 0);
    notes.push_back("note: the launcher's COFF symbol table behind the last section was dropped");
}

}  // namespace

std::vector<std::uint8_t> peLauncherImage(std::span<const std::uint8_t> bytes, std::vector<std::string>& notes) {
    const PeLayout layout = inspectPe(bytes);
    checkRecordPlace(layout, bytes.size());
    const auto end = static_cast<std::size_t>(layout.recordOffset);
    std::vector<std::uint8_t> image(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(end));
    if (bytes.size() > end) {
        notes.push_back("note: dropped " + std::to_string(bytes.size() - end) +
                        " bytes behind the last section (an earlier record, signature or debug data)");
    }
    clearDroppedSignature(image, layout, notes);
    clearDroppedSymbols(image, layout, notes);
    return image;
}

}  // namespace zendra::pack
