#include "record.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace zendra {
namespace {

constexpr const char* kMagicFailure = "Internal Error: magic";
constexpr const char* kIntFailure = "Internal Error: readInt";
constexpr const char* kLongFailure = "Internal Error: readLong";
constexpr const char* kShortFailure = "Internal Error: readShort";
constexpr const char* kStringFailure = "Internal Error: readString";
constexpr const char* kWStringFailure = "Internal Error: readWString";

// Strings are read in slices of this size so that a file of unknown size never makes
// the reader allocate much more than it has actually read.
constexpr std::size_t kSlice = 64 * 1024;

// Offset of e_lfanew in the DOS header.
constexpr std::int64_t kPeOffsetField = 60;

// Whether value is an offset the walk can seek to (offsets are 32-bit).
bool fitsOffset(std::int64_t value) { return value >= 0 && value <= std::numeric_limits<std::uint32_t>::max(); }

#ifndef _WIN32
// The Linux edition reads its record behind an ELF image; a Windows launcher is always a PE one.
// An ELF image: its magic, the identification bytes behind it and the section header fields.
constexpr std::uint8_t kElfMagic[] = {0x7F, 'E', 'L', 'F'};
constexpr std::int64_t kElfClassField = 4;  // EI_CLASS, followed by EI_DATA
constexpr int kElfClass32 = 1;
constexpr int kElfClass64 = 2;
constexpr int kElfLittleEndian = 1;
constexpr std::int64_t kElfSectionTypeField = 4;  // sh_type
constexpr std::int32_t kElfNoBits = 8;             // SHT_NOBITS: the section occupies no file space

// Where the fields of the ELF walk lie in one class, and how its offsets are read.
struct ElfFields {
    std::int64_t tableOffset;  // e_shoff
    std::int64_t entrySize;    // e_shentsize, followed by e_shnum
    std::int64_t dataOffset;   // sh_offset within a section header, followed by sh_size
    int headerSize;            // size of one section header
    const char* wordFailure;   // failure text of reading one offset
};

ElfFields elfFields(bool wide) {
    if (wide) return {0x28, 0x3A, 24, 64, kLongFailure};
    return {0x20, 0x2E, 16, 40, kIntFailure};
}

// The largest section header table read in one piece (a launcher's is a few kilobytes).
constexpr std::uint64_t kMaxElfTableBytes = 1u << 20;
#endif

// Reads until size bytes arrived, the stream ends or a read fails.
IoResult readFully(File& file, std::uint8_t* out, std::size_t size) {
    IoResult total;
    while (total.bytes < size) {
        IoResult part = file.read(out + total.bytes, size - total.bytes);
        total.bytes += std::min(part.bytes, size - total.bytes);
        if (!part.ok || part.bytes == 0) {
            total.ok = false;
            total.error = part.error;
            break;
        }
    }
    return total;
}

// Little-endian unsigned value of the first count bytes.
std::uint64_t littleEndian(const std::uint8_t* bytes, std::size_t count) {
    std::uint64_t value = 0;
    for (std::size_t i = count; i > 0; --i) value = (value << 8) | bytes[i - 1];
    return value;
}

}  // namespace

RecordReader::RecordReader(File& file, Logger& log) : file_(file), log_(log) {}

void RecordReader::fail(const char* text) {
    if (failure_ == nullptr) failure_ = text;
}

bool RecordReader::positionAt(std::int64_t offset, const char* failure) {
    if (failed()) return false;
    // Offsets of the walk are 32-bit; anything else cannot lie in a launcher file.
    if (!fitsOffset(offset) || !file_.seek(static_cast<std::uint64_t>(offset))) {
        fail(failure);
        return false;
    }
    return true;
}

std::uint64_t RecordReader::seekToAppendedData() {
    if (failed()) return 0;
#ifdef _WIN32
    return seekBehindPe();
#else
    return startsWithElfMagic() ? seekBehindElf() : seekBehindPe();
#endif
}

#ifndef _WIN32
bool RecordReader::startsWithElfMagic() {
    std::uint8_t bytes[sizeof kElfMagic] = {};
    if (!file_.seek(0)) return false;
    const IoResult got = readFully(file_, bytes, sizeof bytes);
    return got.bytes == sizeof bytes && std::memcmp(bytes, kElfMagic, sizeof bytes) == 0;
}
#endif

std::uint64_t RecordReader::seekBehindPe() {
    positionAt(kPeOffsetField, kIntFailure);
    const std::int64_t pe = readInt();
    positionAt(pe + 6, kShortFailure);
    const std::int16_t sections = readShort();
    if (failed()) return 0;
    log_.message("number of sections: %d", sections);
    positionAt(pe + 20, kShortFailure);
    const std::int16_t optionalSize = readShort();
    if (failed()) return 0;
    log_.message("size of optional headers: %d", optionalSize);
    const std::int64_t lastHeader = pe + optionalSize + 40 * std::int64_t{sections} - 16;
    log_.message("resSectionTableStart: %d", static_cast<int>(static_cast<std::int32_t>(lastHeader)));
    positionAt(lastHeader + 16, kIntFailure);
    const std::int32_t rawSize = readInt();
    const std::int32_t rawOffset = readInt();
    if (failed()) return 0;
    log_.message("rawDataSize: %d, rawDataOffset: %d", rawSize, rawOffset);
    const std::int64_t start = std::int64_t{rawOffset} + rawSize;
    // The first read at the record is its magic, a readInt.
    if (!positionAt(start, kIntFailure)) return 0;
    return static_cast<std::uint64_t>(start);
}

#ifndef _WIN32
std::int64_t RecordReader::readElfWord(bool wide) {
    if (wide) return readLong();
    return static_cast<std::uint32_t>(readInt());
}

std::int64_t RecordReader::elfSectionDataEnd(bool wide, std::int64_t header) {
    const ElfFields fields = elfFields(wide);
    positionAt(header + kElfSectionTypeField, kIntFailure);
    if (readInt() == kElfNoBits) return 0;
    positionAt(header + fields.dataOffset, fields.wordFailure);
    const std::int64_t offset = readElfWord(wide);
    const std::int64_t size = readElfWord(wide);
    // Data reaching past 32-bit offsets leaves the record where the launcher cannot seek.
    if (!fitsOffset(offset) || !fitsOffset(size)) fail(kIntFailure);
    return failed() ? 0 : offset + size;
}

std::optional<std::int64_t> RecordReader::elfDataEndFromTable(bool wide, std::int64_t table, int count,
                                                              int entrySize) {
    const std::optional<std::uint64_t> total = file_.size();
    const auto length = static_cast<std::uint64_t>(count) * static_cast<std::uint64_t>(entrySize);
    if (!total || static_cast<std::uint64_t>(table) > *total || length > *total - static_cast<std::uint64_t>(table) ||
        length > kMaxElfTableBytes || !file_.seek(static_cast<std::uint64_t>(table))) {
        return std::nullopt;
    }
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
    if (readFully(file_, bytes.data(), bytes.size()).bytes != bytes.size()) return std::nullopt;
    const ElfFields fields = elfFields(wide);
    const std::size_t word = wide ? 8 : 4;
    std::int64_t dataEnd = 0;
    for (std::size_t at = 0; at < bytes.size(); at += static_cast<std::size_t>(entrySize)) {
        const std::uint8_t* header = bytes.data() + at;
        if (littleEndian(header + kElfSectionTypeField, 4) == static_cast<std::uint32_t>(kElfNoBits)) continue;
        const std::uint64_t offset = littleEndian(header + fields.dataOffset, word);
        const std::uint64_t size = littleEndian(header + fields.dataOffset + static_cast<std::int64_t>(word), word);
        // Data reaching past 32-bit offsets leaves the record where the launcher cannot seek.
        const std::uint64_t limit = std::numeric_limits<std::uint32_t>::max();
        if (offset > limit || size > limit) {
            fail(kIntFailure);
            return std::nullopt;
        }
        dataEnd = std::max(dataEnd, static_cast<std::int64_t>(offset + size));
    }
    return dataEnd;
}

std::uint64_t RecordReader::seekBehindElf() {
    positionAt(kElfClassField, kShortFailure);
    const auto ident = static_cast<std::uint16_t>(readShort());
    const int elfClass = ident & 0xFF;
    const int encoding = ident >> 8;
    if (failed()) return 0;
    log_.message("ELF class: %d, data encoding: %d", elfClass, encoding);
    if ((elfClass != kElfClass32 && elfClass != kElfClass64) || encoding != kElfLittleEndian) {
        fail(kMagicFailure);
        return 0;
    }
    const bool wide = elfClass == kElfClass64;
    const ElfFields fields = elfFields(wide);
    positionAt(fields.tableOffset, fields.wordFailure);
    const std::int64_t table = readElfWord(wide);
    positionAt(fields.entrySize, kShortFailure);
    const auto entrySize = static_cast<std::uint16_t>(readShort());
    const auto count = static_cast<std::uint16_t>(readShort());
    if (failed()) return 0;
    log_.message("number of sections: %d", count);
    log_.message("size of section headers: %d", entrySize);
    log_.message("sectionTableStart: %lld", static_cast<long long>(table));
    if (count > 0 && entrySize < fields.headerSize) fail(kMagicFailure);
    if (!fitsOffset(table)) fail(kIntFailure);
    if (failed()) return 0;
    // One read of the whole table on every start; the field-by-field walk, with its failure
    // texts, only for a table that does not lie inside the file.
    std::optional<std::int64_t> dataEnd = elfDataEndFromTable(wide, table, count, entrySize);
    if (!dataEnd) {
        dataEnd = 0;
        for (std::int64_t i = 0; i < count && !failed(); ++i)
            dataEnd = std::max(*dataEnd, elfSectionDataEnd(wide, table + i * entrySize));
    }
    if (failed()) return 0;
    const std::int64_t tableEnd = table + std::int64_t{count} * entrySize;
    log_.message("sectionTableEnd: %lld, sectionDataEnd: %lld", static_cast<long long>(tableEnd),
                 static_cast<long long>(*dataEnd));
    const std::int64_t start = std::max(tableEnd, *dataEnd);
    // The first read at the record is its magic, a readInt.
    if (!positionAt(start, kIntFailure)) return 0;
    return static_cast<std::uint64_t>(start);
}
#endif

std::int16_t RecordReader::readShort() {
    if (failed()) return 0;
    std::uint8_t bytes[2];
    IoResult result = readFully(file_, bytes, sizeof bytes);
    if (result.bytes < sizeof bytes) {
        log_.message("error %d\n", static_cast<int>(result.error));
        fail(kShortFailure);
        return 0;
    }
    return static_cast<std::int16_t>(littleEndian(bytes, sizeof bytes));
}

std::int32_t RecordReader::readInt() {
    if (failed()) return 0;
    std::uint8_t bytes[4];
    IoResult result = readFully(file_, bytes, sizeof bytes);
    if (result.bytes < sizeof bytes) {
        log_.message("error %d %d\n", static_cast<int>(result.error), static_cast<int>(result.bytes));
        fail(kIntFailure);
        return 0;
    }
    return static_cast<std::int32_t>(littleEndian(bytes, sizeof bytes));
}

std::int64_t RecordReader::readLong() {
    if (failed()) return 0;
    std::uint8_t bytes[8];
    IoResult result = readFully(file_, bytes, sizeof bytes);
    if (result.bytes < sizeof bytes) {
        log_.message("error %d\n", static_cast<int>(result.error));
        fail(kLongFailure);
        return 0;
    }
    return static_cast<std::int64_t>(littleEndian(bytes, sizeof bytes));
}

std::vector<std::uint8_t> RecordReader::readPayload(std::int32_t length, const char* failure) {
    if (failed()) return {};
    bool fits = length >= 0;
    const auto wanted = static_cast<std::size_t>(fits ? length : 0);
    if (const std::optional<std::uint64_t> total = file_.size()) {
        const std::uint64_t at = file_.position();
        fits = fits && at <= *total && wanted <= *total - at;
    }
    std::vector<std::uint8_t> data;
    while (fits && data.size() < wanted) {
        const std::size_t slice = std::min(kSlice, wanted - data.size());
        const std::size_t before = data.size();
        data.resize(before + slice);
        fits = readFully(file_, data.data() + before, slice).bytes == slice;
    }
    if (fits) return data;
    fail(failure);
    return {};
}

std::string RecordReader::readString() {
    const std::int32_t length = readInt();
    std::vector<std::uint8_t> data = readPayload(length, kStringFailure);
    return std::string(data.begin(), data.end());
}

std::u16string RecordReader::readWString() {
    const std::int32_t length = readInt();
    if (length % 2 != 0) fail(kWStringFailure);
    std::vector<std::uint8_t> data = readPayload(length, kWStringFailure);
    std::u16string text(data.size() / 2, u'\0');
    for (std::size_t i = 0; i < text.size(); ++i) {
        text[i] = static_cast<char16_t>(littleEndian(data.data() + 2 * i, 2));
    }
    return text;
}

RecordHead RecordReader::readHead() {
    if (static_cast<std::uint32_t>(readInt()) != kRecordMagic) fail(kMagicFailure);
    if (failed()) return {};
    RecordHead head;
    head.integrityFlag = readInt();
    head.checksum = static_cast<std::uint32_t>(readInt());
    head.coveredLength = readLong();
    const std::int32_t stringCount = readInt();
    for (std::int32_t i = 0; i < stringCount && !failed(); ++i) {
        const std::int32_t id = readInt();
        head.strings.emplace_back(id, readString());
    }
    const std::int32_t messageCount = readInt();
    for (std::int32_t i = 0; i < messageCount && !failed(); ++i) {
        const std::int32_t id = readInt();
        head.messages.emplace_back(id, readWString());
    }
    if (failed()) return {};
    return head;
}

std::vector<LanguageBlock> RecordReader::readLanguageBlocks() {
    std::vector<LanguageBlock> blocks;
    const std::int32_t blockCount = readInt();
    for (std::int32_t b = 0; b < blockCount && !failed(); ++b) {
        LanguageBlock block;
        block.key = readString();
        const std::int32_t entryCount = readInt();
        for (std::int32_t i = 0; i < entryCount && !failed(); ++i) {
            const std::int32_t id = readInt();
            block.messages.emplace_back(id, readWString());
        }
        blocks.push_back(std::move(block));
    }
    if (failed()) return {};
    return blocks;
}

std::uint64_t RecordReader::position() { return file_.position(); }

MemoryFile::MemoryFile(std::vector<std::uint8_t> bytes) : bytes_(std::move(bytes)) {}

IoResult MemoryFile::read(void* buffer, std::size_t size) {
    IoResult result;
    if (position_ >= bytes_.size()) return result;
    const auto at = static_cast<std::size_t>(position_);
    result.bytes = std::min(size, bytes_.size() - at);
    if (result.bytes > 0) std::memcpy(buffer, bytes_.data() + at, result.bytes);
    position_ += result.bytes;
    return result;
}

IoResult MemoryFile::write(const void* buffer, std::size_t size) {
    IoResult result;
    if (position_ > bytes_.size()) {
        result.ok = false;
        return result;
    }
    const auto at = static_cast<std::size_t>(position_);
    if (size > bytes_.size() - at) bytes_.resize(at + size);
    if (size > 0) std::memcpy(bytes_.data() + at, buffer, size);
    position_ += size;
    result.bytes = size;
    return result;
}

bool MemoryFile::seek(std::uint64_t position) {
    position_ = position;
    return true;
}

std::uint64_t MemoryFile::position() { return position_; }

std::optional<std::uint64_t> MemoryFile::size() { return bytes_.size(); }

}  // namespace zendra
