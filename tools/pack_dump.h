// Reading a packaged executable back: record, included files and integrity fields.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "pack_model.h"

namespace zendra::pack {

// The integrity fields of a record checked against the data they cover.
struct IntegrityReport {
    std::int32_t flag = 0;
    std::uint32_t expected = 0;
    std::int64_t coveredLength = 0;
    std::optional<std::uint32_t> computed;  // none when the covered range leaves the file
    // Whether the CRC-32 of the covered bytes equals the stored checksum.
    bool matches() const { return computed && *computed == expected; }
};

// One line such as "integrity: flag 1, checksum 0x1234abcd over 210 bytes: matches".
std::string describe(const IntegrityReport& report);

// A packaged executable read back.
struct PackageDump {
    Package package;
    std::uint64_t recordOffset = 0;  // first byte of the record
    std::uint64_t dataOffset = 0;    // first byte behind the language blocks
    std::uint64_t endOffset = 0;     // first byte behind the last included file read
    IntegrityReport integrity;
    std::vector<std::string> notes;
};

// Reads the record with the launcher's reader, then the included files the way the launcher
// extracts them (properties 2002 and 2003). Throws PackError for a file that is neither a
// usable PE nor a usable ELF file or carries no readable record.
PackageDump readPackage(std::span<const std::uint8_t> bytes);

// Writes the included files below dir, creating directories as needed. Every name is
// checked before anything is written; a name that could leave dir throws PackError.
void extractFiles(const Package& package, const std::filesystem::path& dir);

}  // namespace zendra::pack
