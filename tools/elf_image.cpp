#include "elf_image.h"

#include <algorithm>

namespace zendra::pack {
namespace {

constexpr std::uint8_t kClass32 = 1;
constexpr std::uint8_t kClass64 = 2;
constexpr std::uint8_t kLittleEndian = 1;
constexpr std::uint32_t kNoBits = 8;  // SHT_NOBITS: the section occupies no file space

// Where the fields packaging needs lie in one ELF class.
struct ElfFormat {
    std::size_t headerSize;         // e_ehsize
    std::size_t programOffset;      // e_phoff
    std::size_t programEntrySize;   // e_phentsize, followed by e_phnum
    std::size_t sectionOffset;      // e_shoff
    std::size_t sectionEntrySize;   // e_shentsize, followed by e_shnum
    std::size_t sectionHeader;      // size of one section header
    std::size_t sectionDataOffset;  // sh_offset in a section header, followed by sh_size
    std::size_t programHeader;      // size of one program header
    std::size_t segmentOffset;      // p_offset in a program header
    std::size_t segmentFileSize;    // p_filesz in a program header
    int word;                       // width of offsets and sizes
};

constexpr ElfFormat kElf32{52, 0x1C, 0x2A, 0x20, 0x2E, 40, 16, 32, 4, 16, 4};
constexpr ElfFormat kElf64{64, 0x20, 0x36, 0x28, 0x3A, 64, 24, 56, 8, 32, 8};

// Little-endian value of width bytes at at; the caller has checked the range.
std::uint64_t le(std::span<const std::uint8_t> bytes, std::uint64_t at, int width) {
    std::uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = (value << 8) | bytes[static_cast<std::size_t>(at) + i];
    return value;
}

// Whether size bytes at at lie inside a file of fileSize bytes.
bool inside(std::uint64_t at, std::uint64_t size, std::uint64_t fileSize) {
    return at <= fileSize && size <= fileSize - at;
}

[[noreturn]] void unusable(const std::string& why) { throw PackError("not a usable ELF file: " + why); }

const ElfFormat& formatOf(std::span<const std::uint8_t> bytes) {
    if (!hasElfMagic(bytes)) throw PackError("not an ELF file: no ELF header");
    if (bytes.size() < 6) unusable("the ELF header is cut short");
    if (bytes[4] != kClass32 && bytes[4] != kClass64) {
        unusable("class " + std::to_string(bytes[4]) + " (only 32-bit and 64-bit files can be launchers)");
    }
    if (bytes[5] != kLittleEndian) {
        unusable("data encoding " + std::to_string(bytes[5]) + " (only little-endian files can be launchers)");
    }
    const ElfFormat& format = bytes[4] == kClass64 ? kElf64 : kElf32;
    if (bytes.size() < format.headerSize) unusable("the ELF header is cut short");
    return format;
}

// The file end of section index's data, or 0 when it occupies no file space.
std::uint64_t sectionDataEnd(std::span<const std::uint8_t> bytes, const ElfFormat& format, std::uint64_t header,
                             std::uint32_t index) {
    if (le(bytes, header + 4, 4) == kNoBits) return 0;
    const std::uint64_t offset = le(bytes, header + format.sectionDataOffset, format.word);
    const std::uint64_t size = le(bytes, header + format.sectionDataOffset + format.word, format.word);
    if (!inside(offset, size, bytes.size())) {
        unusable("the data of section " + std::to_string(index) + " (offset " + std::to_string(offset) + ", " +
                 std::to_string(size) + " bytes) runs past the end of the file (" + std::to_string(bytes.size()) +
                 " bytes)");
    }
    return offset + size;
}

// Refuses images whose segments reach behind the record offset: cutting there would break them.
void checkSegments(std::span<const std::uint8_t> bytes, const ElfFormat& format, const ElfLayout& layout) {
    const std::uint64_t table = le(bytes, format.programOffset, format.word);
    const auto entrySize = static_cast<std::uint16_t>(le(bytes, format.programEntrySize, 2));
    const auto count = static_cast<std::uint16_t>(le(bytes, format.programEntrySize + 2, 2));
    if (count == 0) return;
    if (entrySize < format.programHeader) {
        unusable("program headers of " + std::to_string(entrySize) + " bytes (at least " +
                 std::to_string(format.programHeader) + " expected)");
    }
    const std::uint64_t tableSize = std::uint64_t{count} * entrySize;
    if (!inside(table, tableSize, bytes.size())) unusable("the program header table runs past the end of the file");
    if (!inside(table, tableSize, layout.recordOffset)) {
        throw PackError("cannot package this ELF file: its program header table lies behind the section data and "
                        "section header table (" + std::to_string(layout.recordOffset) + ")");
    }
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint64_t header = table + std::uint64_t{entrySize} * i;
        const std::uint64_t offset = le(bytes, header + format.segmentOffset, format.word);
        const std::uint64_t size = le(bytes, header + format.segmentFileSize, format.word);
        if (size != 0 && !inside(offset, size, layout.recordOffset)) {
            throw PackError("cannot package this ELF file: segment " + std::to_string(i) +
                            " reaches behind the end of the section data and section header table (" +
                            std::to_string(layout.recordOffset) + ") where the launcher expects its record");
        }
    }
}

}  // namespace

bool hasElfMagic(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 4 && bytes[0] == 0x7F && bytes[1] == 'E' && bytes[2] == 'L' && bytes[3] == 'F';
}

ElfLayout inspectElf(std::span<const std::uint8_t> bytes) {
    const ElfFormat& format = formatOf(bytes);
    ElfLayout layout;
    layout.wide = format.word == 8;
    layout.tableOffset = le(bytes, format.sectionOffset, format.word);
    layout.entrySize = static_cast<std::uint16_t>(le(bytes, format.sectionEntrySize, 2));
    layout.sectionCount = static_cast<std::uint16_t>(le(bytes, format.sectionEntrySize + 2, 2));
    if (layout.sectionCount == 0) unusable("it has no section header table");
    if (layout.entrySize < format.sectionHeader) {
        unusable("section headers of " + std::to_string(layout.entrySize) + " bytes (at least " +
                 std::to_string(format.sectionHeader) + " expected)");
    }
    const std::uint64_t tableSize = std::uint64_t{layout.sectionCount} * layout.entrySize;
    if (!inside(layout.tableOffset, tableSize, bytes.size())) {
        unusable("the section header table runs past the end of the file");
    }
    layout.tableEnd = layout.tableOffset + tableSize;
    for (std::uint32_t i = 0; i < layout.sectionCount; ++i) {
        const std::uint64_t header = layout.tableOffset + std::uint64_t{layout.entrySize} * i;
        layout.dataEnd = std::max(layout.dataEnd, sectionDataEnd(bytes, format, header, i));
    }
    layout.recordOffset = std::max(layout.tableEnd, layout.dataEnd);
    return layout;
}

std::vector<std::uint8_t> elfLauncherImage(std::span<const std::uint8_t> bytes, std::vector<std::string>& notes) {
    const ElfLayout layout = inspectElf(bytes);
    checkSegments(bytes, formatOf(bytes), layout);
    const auto end = static_cast<std::size_t>(layout.recordOffset);
    if (bytes.size() > end) {
        notes.push_back("note: dropped " + std::to_string(bytes.size() - end) +
                        " bytes behind the section data and section header table (an earlier record or other "
                        "appended data)");
    }
    return std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(end));
}

}  // namespace zendra::pack
