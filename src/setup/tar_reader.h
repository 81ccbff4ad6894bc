// Reading a tar archive (ustar headers, GNU long names, pax path records) from a byte stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "gzip_source.h"

namespace zendra::setup {

// Size of a tar block: one header, or one unit of entry data with its padding.
inline constexpr std::size_t kTarBlock = 512;

// Longest entry name the reader accepts (the launchers' path limit).
inline constexpr std::size_t kMaxEntryName = 8191;

// What one header block says.
struct TarHeader {
    bool magic = false;               // "ustar" at offset 257
    bool posixPrefix = false;         // POSIX ustar ("ustar\0"): the prefix field extends the name
    char type = '\0';                 // the type flag
    std::string name;                 // prefix "/" name, as written ("/" separators)
    std::optional<std::int32_t> size; // none: not an octal number below 2 GiB
};

// The octal size field: blanks and zeros before the first significant digit are skipped, a
// NUL or a blank after it ends the field. None for a non-octal character or a size of 2 GiB
// or more.
std::optional<std::int32_t> parseTarSize(std::span<const std::uint8_t, 12> field);

// Reads the fields the reader uses from one header block.
TarHeader parseTarHeader(std::span<const std::uint8_t, kTarBlock> block);

// Finds the "path" record of a pax extended header's records; false when the records are
// malformed. path stays empty when there is no such record.
bool parsePaxPath(std::string_view records, std::optional<std::string>& path);

// One entry as the reader hands it out: a regular file ('0'), a directory ('5') or another
// type that is skipped; long names are already applied.
struct TarEntry {
    char type = '\0';
    std::string name;
    std::int32_t size = 0;
};

// Walks the entries of a tar stream. After next() returned an entry, its data can be read
// with readData(); the next call of next() skips what was left of it and its padding.
class TarReader {
public:
    // What next() found.
    enum class Step { Entry, End, Failed };

    // Reads from source, which must outlive the reader.
    explicit TarReader(GzipSource& source) : source_(source) {}
    // The next file, directory or other entry; End at the archive's end; Failed with reason().
    Step next(TarEntry& entry);
    // Reads up to size bytes of the current entry's data (never past it).
    SourceRead readData(void* buffer, std::size_t size);
    // Why the walk failed ("gzread failed", "gzseek 2 failed", ...), or how it ended: "unexpected
    // eof" when the data ended, "no magic number" at the end blocks (a failure for an archive
    // that gave no file).
    const std::string& reason() const { return reason_; }

private:
    bool finishEntry();
    Step fail(std::string_view text);
    bool refuse(std::string_view text);
    Step end(std::string_view text);
    Step readHeader(TarHeader& header);
    bool readMetaEntry(const TarHeader& header);

    GzipSource& source_;
    std::uint64_t remaining_ = 0;  // data of the current entry not yet read
    std::uint64_t padding_ = 0;    // padding behind it
    std::optional<std::string> longName_;  // from a long-name entry, for the next entry
    std::string reason_;
};

}  // namespace zendra::setup
