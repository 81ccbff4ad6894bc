#include "tar_reader.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <limits>

#include "logger.h"
#include "text.h"

namespace zendra::setup {
namespace {

constexpr std::size_t kNameOffset = 0;
constexpr std::size_t kNameLength = 100;
constexpr std::size_t kSizeOffset = 124;
constexpr std::size_t kTypeOffset = 156;
constexpr std::size_t kMagicOffset = 257;
constexpr std::size_t kPrefixOffset = 345;
constexpr std::size_t kPrefixLength = 155;
constexpr std::size_t kMaxPaxHeader = 1024 * 1024;

constexpr char kGnuLongName = 'L';
constexpr char kGnuLongLink = 'K';
constexpr char kPaxHeader = 'x';
constexpr char kPaxGlobal = 'g';

// A NUL-terminated text field of at most length bytes.
std::string_view field(std::span<const std::uint8_t, kTarBlock> block, std::size_t offset, std::size_t length) {
    const std::string_view text(reinterpret_cast<const char*>(block.data() + offset), length);
    return text.substr(0, text.find('\0'));
}

std::uint64_t paddingOf(std::uint64_t size) {
    return (kTarBlock - size % kTarBlock) % kTarBlock;
}

}  // namespace

std::optional<std::int32_t> parseTarSize(std::span<const std::uint8_t, 12> sizeField) {
    std::int64_t size = 0;
    bool significant = false;
    for (const std::uint8_t c : sizeField) {
        if (c == '\0') break;
        if (!significant && (c == ' ' || c == '0')) continue;
        if (c == ' ') break;
        if (c < '0' || c > '7') return std::nullopt;
        significant = true;
        size = size * 8 + (c - '0');
        if (size > std::numeric_limits<std::int32_t>::max()) return std::nullopt;
    }
    return static_cast<std::int32_t>(size);
}

TarHeader parseTarHeader(std::span<const std::uint8_t, kTarBlock> block) {
    TarHeader header;
    const auto* magic = reinterpret_cast<const char*>(block.data() + kMagicOffset);
    header.magic = std::string_view(magic, 5) == "ustar";
    header.posixPrefix = header.magic && magic[5] == '\0';
    header.type = static_cast<char>(block[kTypeOffset]);
    const std::string_view name = field(block, kNameOffset, kNameLength);
    const std::string_view prefix = header.posixPrefix ? field(block, kPrefixOffset, kPrefixLength) : "";
    header.name = prefix.empty() ? std::string(name) : concat({prefix, "/", name});
    header.size = parseTarSize(block.subspan<kSizeOffset, 12>());
    return header;
}

bool parsePaxPath(std::string_view records, std::optional<std::string>& path) {
    while (!records.empty()) {
        std::size_t length = 0;
        const auto [digitsEnd, error] = std::from_chars(records.data(), records.data() + records.size(), length);
        const std::size_t digits = static_cast<std::size_t>(digitsEnd - records.data());
        if (error != std::errc() || length > records.size() || length < digits + 3 || records[digits] != ' ' ||
            records[length - 1] != '\n')
            return false;
        const std::string_view record = records.substr(digits + 1, length - digits - 2);
        const std::size_t equals = record.find('=');
        if (equals == std::string_view::npos) return false;
        if (record.substr(0, equals) == "path") path = std::string(record.substr(equals + 1));
        records.remove_prefix(length);
    }
    return true;
}

TarReader::Step TarReader::fail(std::string_view text) {
    reason_ = text;
    return Step::Failed;
}

TarReader::Step TarReader::end(std::string_view text) {
    if (longName_) return fail("long name without its entry");
    reason_ = text;
    return Step::End;
}

bool TarReader::refuse(std::string_view text) {
    reason_ = text;
    return false;
}

// Skips the rest of the current entry's data and its padding.
bool TarReader::finishEntry() {
    if (remaining_ > 0 && !source_.skip(remaining_)) return refuse("gzseek 2 failed");
    remaining_ = 0;
    if (padding_ > 0 && !source_.skip(padding_)) return refuse("gzseek 3 failed");
    padding_ = 0;
    return true;
}

TarReader::Step TarReader::readHeader(TarHeader& header) {
    if (source_.eof()) return end("unexpected eof");
    std::array<std::uint8_t, kTarBlock> block{};
    const SourceRead got = source_.read(block.data(), block.size());
    if (!got.ok) return fail(got.bytes < 500 ? "gzread failed" : "gzseek 1 failed");
    if (got.bytes == 0) return end("unexpected eof");
    if (got.bytes < block.size()) return fail("unexpected eof");
    header = parseTarHeader(block);
    if (!header.magic) {
        // The end blocks are zeros; anything else without the magic is not a tar header.
        const bool zeros = std::all_of(block.begin(), block.end(), [](std::uint8_t b) { return b == 0; });
        return zeros ? end("no magic number") : fail("no magic number");
    }
    if (!header.size) return fail(formatText("size field out of range in entry %s", header.name.c_str()));
    return Step::Entry;
}

// Reads a long-name or pax entry; the name it carries applies to the next entry.
bool TarReader::readMetaEntry(const TarHeader& header) {
    const auto size = static_cast<std::size_t>(*header.size);
    const bool longName = header.type == kGnuLongName;
    if (size > (longName ? kMaxEntryName + 1 : kMaxPaxHeader))
        return refuse(formatText("long name entry of %d bytes", *header.size));
    std::string data(size, '\0');
    const SourceRead got = source_.read(data.data(), size);
    if (!got.ok) return refuse("gzread failed");
    if (got.bytes < size) return refuse("unexpected eof");
    padding_ = paddingOf(size);
    if (!finishEntry()) return false;
    std::optional<std::string> name;
    if (longName) {
        data.resize(std::min(data.find('\0'), size));
        name = std::move(data);
    } else if (!parsePaxPath(data, name)) {
        return refuse("malformed pax header");
    }
    if (name && (name->empty() || name->size() > kMaxEntryName || name->find('\0') != std::string::npos))
        return refuse("unusable long name");
    if (name) longName_ = std::move(name);
    return true;
}

TarReader::Step TarReader::next(TarEntry& entry) {
    if (!finishEntry()) return Step::Failed;
    for (;;) {
        TarHeader header;
        if (const Step step = readHeader(header); step != Step::Entry) return step;
        if (header.type == kGnuLongName || header.type == kPaxHeader) {
            if (!readMetaEntry(header)) return Step::Failed;
            continue;
        }
        entry.type = header.type;
        entry.size = *header.size;
        remaining_ = static_cast<std::uint64_t>(entry.size);
        padding_ = paddingOf(remaining_);
        if (header.type == kGnuLongLink || header.type == kPaxGlobal) {
            if (!finishEntry()) return Step::Failed;  // attributes of another entry, or of all
            continue;
        }
        entry.name = longName_ ? std::move(*longName_) : std::move(header.name);
        longName_.reset();
        return Step::Entry;
    }
}

SourceRead TarReader::readData(void* buffer, std::size_t size) {
    const auto wanted = static_cast<std::size_t>(std::min<std::uint64_t>(size, remaining_));
    if (wanted == 0) return {0, true};
    const SourceRead got = source_.read(buffer, wanted);
    remaining_ -= got.bytes;
    return got;
}

}  // namespace zendra::setup
