// Helpers for tests of the configuration record: PE and ELF images with chosen section tables,
// hand-built record bytes that remember which primitive each byte belongs to, and files
// that misbehave.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "logger.h"
#include "platform.h"
#include "record.h"

namespace zendra::test {

// Collects logged lines.
class RecordingLog final : public Logger {
public:
    // Keeps the line.
    void write(bool error, const std::string& text) override { lines.emplace_back(error, text); }
    // The texts in order.
    std::vector<std::string> texts() const {
        std::vector<std::string> out;
        for (const auto& line : lines) out.push_back(line.second);
        return out;
    }
    std::vector<std::pair<bool, std::string>> lines;
};

// Writes value as width little-endian bytes at at, growing bytes when needed.
inline void putLe(std::vector<std::uint8_t>& bytes, std::size_t at, std::uint64_t value, int width) {
    if (bytes.size() < at + static_cast<std::size_t>(width)) bytes.resize(at + static_cast<std::size_t>(width));
    for (int i = 0; i < width; ++i) bytes[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

// One section header of a test image.
struct TestSection {
    std::uint32_t rawOffset;
    std::uint32_t rawSize;
};

// Where the headers of a test image lie.
struct TestPeShape {
    std::uint32_t peOffset = 0x80;
    std::uint16_t optionalSize = 0xF0;
};

// A PE32+ image with the given section table; the file ends at the largest raw data end
// (or behind the headers). Raw data is filled with a repeating pattern.
inline std::vector<std::uint8_t> buildPe(const std::vector<TestSection>& sections, TestPeShape shape = {}) {
    const std::size_t table = shape.peOffset + 24u + shape.optionalSize;
    std::size_t end = table + 40 * sections.size();
    for (const TestSection& s : sections) end = std::max<std::size_t>(end, std::size_t{s.rawOffset} + s.rawSize);
    std::vector<std::uint8_t> b(end, 0);
    for (std::size_t i = table + 40 * sections.size(); i < end; ++i) b[i] = static_cast<std::uint8_t>(i * 7 + 1);
    b[0] = 'M';
    b[1] = 'Z';
    putLe(b, 60, shape.peOffset, 4);
    std::memcpy(b.data() + shape.peOffset, "PE\0\0", 4);
    putLe(b, shape.peOffset + 4, 0x8664, 2);
    putLe(b, shape.peOffset + 6, sections.size(), 2);
    putLe(b, shape.peOffset + 20, shape.optionalSize, 2);
    if (shape.optionalSize >= 112) {
        putLe(b, shape.peOffset + 24, 0x20B, 2);
        putLe(b, shape.peOffset + 24 + 108, 16, 4);
    }
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const std::size_t h = table + 40 * i;
        b[h] = '.';
        b[h + 1] = static_cast<std::uint8_t>('a' + i);
        putLe(b, h + 16, sections[i].rawSize, 4);
        putLe(b, h + 20, sections[i].rawOffset, 4);
    }
    return b;
}

// Section types of test ELF images.
inline constexpr std::uint32_t kElfProgBits = 1;
inline constexpr std::uint32_t kElfNoBits = 8;

// One section header of a test ELF image.
struct TestElfSection {
    std::uint32_t type;
    std::uint64_t offset;
    std::uint64_t size;
};

// One program header (PT_LOAD) of a test ELF image.
struct TestElfSegment {
    std::uint64_t offset;
    std::uint64_t fileSize;
};

// The class of a test ELF image and where its section header table lies.
struct TestElfShape {
    bool wide = true;                      // ELFCLASS64, else ELFCLASS32
    std::uint64_t tableOffset = 0;         // 0: behind the section data, 8-aligned
    std::vector<TestElfSegment> segments;  // program headers, right behind the ELF header
};

// Header field offsets of test ELF images, by class.
struct TestElfFields {
    std::size_t tableOffset;  // e_shoff
    std::size_t entrySize;    // e_shentsize, followed by e_shnum
    std::size_t header;       // size of one section header
    std::size_t dataOffset;   // sh_offset in a section header, followed by sh_size
    int word;                 // width of offsets and sizes
};

// The field offsets of the 64-bit (wide) or 32-bit class.
inline TestElfFields elfFields(bool wide) {
    if (wide) return {0x28, 0x3A, 64, 24, 8};
    return {0x20, 0x2E, 40, 16, 4};
}

// A little-endian ELF executable with the given sections. The file ends at the later of the
// section header table's end and the largest section data end (SHT_NOBITS aside); bytes
// behind the headers are filled with a repeating pattern.
inline std::vector<std::uint8_t> buildElf(const std::vector<TestElfSection>& sections, const TestElfShape& shape = {}) {
    const TestElfFields f = elfFields(shape.wide);
    const std::size_t headerSize = shape.wide ? 64 : 52;
    const std::size_t programHeader = shape.wide ? 56 : 32;
    std::size_t dataEnd = headerSize + programHeader * shape.segments.size();
    for (const TestElfSection& s : sections) {
        if (s.type != kElfNoBits) dataEnd = std::max<std::size_t>(dataEnd, s.offset + s.size);
    }
    const std::size_t table = shape.tableOffset != 0 ? shape.tableOffset : (dataEnd + 7) / 8 * 8;
    std::vector<std::uint8_t> b(std::max(dataEnd, table + f.header * sections.size()), 0);
    for (std::size_t i = headerSize; i < b.size(); ++i) b[i] = static_cast<std::uint8_t>(i * 13 + 5);
    std::fill(b.begin() + static_cast<long>(headerSize),
              b.begin() + static_cast<long>(headerSize + programHeader * shape.segments.size()), 0);
    const std::size_t tableEnd = table + f.header * sections.size();
    std::fill(b.begin() + static_cast<long>(table), b.begin() + static_cast<long>(tableEnd), 0);
    std::memcpy(b.data(), "\x7F" "ELF", 4);
    b[4] = shape.wide ? 2 : 1;  // class
    b[5] = 1;                   // little-endian
    b[6] = 1;                   // version
    putLe(b, 16, 2, 2);         // ET_EXEC
    putLe(b, 18, shape.wide ? 62 : 3, 2);
    putLe(b, 20, 1, 4);
    putLe(b, shape.wide ? 0x20 : 0x1C, shape.segments.empty() ? 0 : headerSize, f.word);  // e_phoff
    putLe(b, f.tableOffset, table, f.word);
    putLe(b, f.entrySize - 6, headerSize, 2);     // e_ehsize
    putLe(b, f.entrySize - 4, programHeader, 2);  // e_phentsize
    putLe(b, f.entrySize - 2, shape.segments.size(), 2);
    putLe(b, f.entrySize, f.header, 2);
    putLe(b, f.entrySize + 2, sections.size(), 2);
    for (std::size_t i = 0; i < shape.segments.size(); ++i) {
        const std::size_t h = headerSize + programHeader * i;
        putLe(b, h, 1, 4);  // PT_LOAD
        putLe(b, h + (shape.wide ? 8 : 4), shape.segments[i].offset, f.word);
        putLe(b, h + (shape.wide ? 32 : 16), shape.segments[i].fileSize, f.word);
    }
    for (std::size_t i = 0; i < sections.size(); ++i) {
        const std::size_t h = table + f.header * i;
        putLe(b, h + 4, sections[i].type, 4);
        putLe(b, h + f.dataOffset, sections[i].offset, f.word);
        putLe(b, h + f.dataOffset + static_cast<std::size_t>(f.word), sections[i].size, f.word);
    }
    return b;
}

// A record built primitive by primitive; spans remember which failure text a truncation
// inside each primitive must produce.
class RecordBytes {
public:
    // One primitive's bytes and the failure text of a short read there.
    struct Span {
        std::size_t begin;
        std::size_t end;
        std::string failure;
    };

    // A 4-byte integer (read by readInt).
    RecordBytes& i32(std::int64_t value) { return put(static_cast<std::uint64_t>(value), 4, "Internal Error: readInt"); }
    // An 8-byte integer (read by readLong).
    RecordBytes& i64(std::int64_t value) { return put(static_cast<std::uint64_t>(value), 8, "Internal Error: readLong"); }
    // A length-prefixed 8-bit string.
    RecordBytes& str(std::string_view text) {
        i32(static_cast<std::int64_t>(text.size()));
        return body(std::vector<std::uint8_t>(text.begin(), text.end()), "Internal Error: readString");
    }
    // A length-prefixed UTF-16LE string.
    RecordBytes& wstr(std::u16string_view text) {
        i32(static_cast<std::int64_t>(2 * text.size()));
        std::vector<std::uint8_t> raw;
        for (char16_t unit : text) {
            raw.push_back(static_cast<std::uint8_t>(unit & 0xFF));
            raw.push_back(static_cast<std::uint8_t>(unit >> 8));
        }
        return body(std::move(raw), "Internal Error: readWString");
    }
    // Bytes that belong to no primitive.
    RecordBytes& raw(const std::vector<std::uint8_t>& data) {
        bytes.insert(bytes.end(), data.begin(), data.end());
        return *this;
    }

    std::vector<std::uint8_t> bytes;
    std::vector<Span> spans;

private:
    RecordBytes& put(std::uint64_t value, int width, const char* failure) {
        const std::size_t at = bytes.size();
        putLe(bytes, at, value, width);
        spans.push_back({at, bytes.size(), failure});
        return *this;
    }
    RecordBytes& body(std::vector<std::uint8_t> data, const char* failure) {
        const std::size_t at = bytes.size();
        bytes.insert(bytes.end(), data.begin(), data.end());
        if (!data.empty()) spans.push_back({at, bytes.size(), failure});
        return *this;
    }
};

// A file over bytes whose behaviour can be spoiled: reads hand out at most chunk bytes,
// fail with readError after failAfter bytes, seeks can fail, and the size can be unknown.
class QuirkyFile final : public File {
public:
    // Serves data.
    explicit QuirkyFile(std::vector<std::uint8_t> data) : data_(std::move(data)) {}
    // Reads within the limits set below.
    IoResult read(void* buffer, std::size_t size) override {
        IoResult result;
        if (pos_ >= failAfter) return {0, readError, false};
        const std::size_t limit = std::min<std::size_t>({size, chunk, failAfter - pos_});
        if (pos_ < data_.size()) result.bytes = std::min(limit, data_.size() - pos_);
        if (result.bytes > 0) std::memcpy(buffer, data_.data() + pos_, result.bytes);
        pos_ += result.bytes;
        return result;
    }
    // Always fails.
    IoResult write(const void*, std::size_t) override { return {0, 5, false}; }
    // Fails when seekWorks is false.
    bool seek(std::uint64_t position) override {
        if (!seekWorks) return false;
        pos_ = static_cast<std::size_t>(position);
        return true;
    }
    // The current position.
    std::uint64_t position() override { return pos_; }
    // The size, or nullopt when sizeKnown is false.
    std::optional<std::uint64_t> size() override {
        if (!sizeKnown) return std::nullopt;
        return data_.size();
    }

    std::size_t chunk = SIZE_MAX;
    std::size_t failAfter = SIZE_MAX;
    std::uint32_t readError = 0;
    bool seekWorks = true;
    bool sizeKnown = true;

private:
    std::vector<std::uint8_t> data_;
    std::size_t pos_ = 0;
};

// The reader's failure text, or "no error".
inline std::string failureOf(const RecordReader& reader) { return reader.failed() ? reader.failure() : "no error"; }

// The failure text of the walk followed by the record's head, as the launcher reads them.
inline std::string loadFailure(const std::vector<std::uint8_t>& bytes) {
    MemoryFile file(bytes);
    NullLogger log;
    RecordReader reader(file, log);
    reader.seekToAppendedData();
    reader.readHead();
    return failureOf(reader);
}

}  // namespace zendra::test
