// Reading the configuration record appended behind the launcher's image: behind the raw data
// of its last PE section header, or behind the section data and section header table of an ELF.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "logger.h"
#include "platform.h"

namespace zendra {

// First field of every record (on disk: D5 13 E4 E8).
inline constexpr std::uint32_t kRecordMagic = 0xE8E413D5u;

// Fields 1 to 8 of the record, in record order (duplicates kept).
struct RecordHead {
    std::int32_t integrityFlag = 0;
    std::uint32_t checksum = 0;
    std::int64_t coveredLength = 0;
    std::vector<std::pair<std::int32_t, std::string>> strings;
    std::vector<std::pair<std::int32_t, std::u16string>> messages;
};

// One language block: its key and its message overrides, in record order.
struct LanguageBlock {
    std::string key;
    std::vector<std::pair<std::int32_t, std::u16string>> messages;
};

// Reads the record's primitives from an open file, never past the file's data.
// The first failure sticks: it keeps the fixed text shown to the user ("Internal Error: magic",
// "Internal Error: readInt", ...), and from then on every read returns 0 or an empty value
// without touching the file, so callers check failed() once after a group of reads.
class RecordReader {
public:
    // Reads from file, logging the header walk and short reads to log.
    RecordReader(File& file, Logger& log);
    // Walks the PE or ELF headers and positions the file at the record's first byte; returns that offset.
    std::uint64_t seekToAppendedData();
    // 2-byte little-endian integer.
    std::int16_t readShort();
    // 4-byte little-endian integer.
    std::int32_t readInt();
    // 8-byte little-endian integer.
    std::int64_t readLong();
    // Length-prefixed 8-bit string.
    std::string readString();
    // Length-prefixed UTF-16LE string.
    std::u16string readWString();
    // Magic, integrity fields, string properties and messages (fields 1 to 8).
    RecordHead readHead();
    // The language block count and blocks (fields 9 and 10).
    std::vector<LanguageBlock> readLanguageBlocks();
    // The current file offset.
    std::uint64_t position();
    // The fixed text of the first failure; nullptr while every read succeeded.
    const char* failure() const { return failure_; }
    // Whether a read has failed.
    bool failed() const { return failure_ != nullptr; }

private:
    // Keeps text unless an earlier failure is kept already.
    void fail(const char* text);
    // Seeks to offset; false (with failure kept) when it cannot.
    bool positionAt(std::int64_t offset, const char* failure);
    std::uint64_t seekBehindPe();
#ifndef _WIN32
    bool startsWithElfMagic();
    std::uint64_t seekBehindElf();
    // An ELF offset or size: 8 bytes when wide (ELFCLASS64), else 4 unsigned bytes.
    std::int64_t readElfWord(bool wide);
    // The file end of the data of the section header at header; 0 for SHT_NOBITS.
    std::int64_t elfSectionDataEnd(bool wide, std::int64_t header);
    // The largest section data end, from the table read in one piece; nullopt when the table
    // does not lie wholly inside the file (the field-by-field walk then names the failure).
    std::optional<std::int64_t> elfDataEndFromTable(bool wide, std::int64_t table, int count, int entrySize);
#endif
    std::vector<std::uint8_t> readPayload(std::int32_t length, const char* failure);

    File& file_;
    Logger& log_;
    const char* failure_ = nullptr;
};

// A File over bytes held in memory. Seeking past the end is allowed and reads there
// return no bytes, as with a disk file; writes extend the data but never leave a gap.
class MemoryFile final : public File {
public:
    // Holds bytes, positioned at the start.
    explicit MemoryFile(std::vector<std::uint8_t> bytes = {});
    // Reads up to size bytes at the current position.
    IoResult read(void* buffer, std::size_t size) override;
    // Writes at the current position; fails when the position lies past the end.
    IoResult write(const void* buffer, std::size_t size) override;
    // Positions absolutely; always succeeds.
    bool seek(std::uint64_t position) override;
    // The current position.
    std::uint64_t position() override;
    // The number of bytes held.
    std::optional<std::uint64_t> size() override;
    // The bytes held.
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
    std::uint64_t position_ = 0;
};

}  // namespace zendra
