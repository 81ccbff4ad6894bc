#include "pack_model.h"

#include <zlib.h>

#include <algorithm>
#include <limits>

#include "included_names.h"

namespace zendra::pack {
namespace {

// Appends little-endian integers and length-prefixed strings.
class ByteWriter {
public:
    explicit ByteWriter(std::vector<std::uint8_t>& out) : out_(out) {}

    void putUnsigned(std::uint64_t value, int bytes) {
        for (int i = 0; i < bytes; ++i) out_.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
    }
    void putInt(std::int32_t value) { putUnsigned(static_cast<std::uint32_t>(value), 4); }
    void putLong(std::int64_t value) { putUnsigned(static_cast<std::uint64_t>(value), 8); }
    void putCount(std::size_t count, const char* what) { putInt(checkedInt(count, what)); }

    void putString(const std::string& text) {
        putCount(text.size(), "a string property value");
        out_.insert(out_.end(), text.begin(), text.end());
    }
    void putWString(const std::u16string& text) {
        if (text.size() > std::numeric_limits<std::int32_t>::max() / 2) {
            throw PackError("a message is too long for the record");
        }
        putInt(static_cast<std::int32_t>(text.size() * 2));
        for (char16_t unit : text) putUnsigned(unit, 2);
    }
    void putMessages(const std::vector<std::pair<std::int32_t, std::u16string>>& messages) {
        putCount(messages.size(), "the message table");
        for (const auto& [id, text] : messages) {
            putInt(id);
            putWString(text);
        }
    }

private:
    static std::int32_t checkedInt(std::size_t value, const char* what) {
        if (value > static_cast<std::size_t>(std::numeric_limits<std::int32_t>::max())) {
            throw PackError(std::string(what) + " is too large for the record");
        }
        return static_cast<std::int32_t>(value);
    }

    std::vector<std::uint8_t>& out_;
};

void putIncludedFiles(std::vector<std::uint8_t>& out, const std::vector<IncludedFile>& files) {
    ByteWriter writer(out);
    for (const IncludedFile& file : files) {
        writer.putLong(static_cast<std::int64_t>(file.data.size()));
        std::transform(file.data.begin(), file.data.end(), std::back_inserter(out),
                       [](std::uint8_t byte) { return static_cast<std::uint8_t>(byte ^ kIncludedFileMask); });
    }
}

void patchUnsigned(std::vector<std::uint8_t>& out, std::size_t at, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out[at + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> (8 * i));
}

}  // namespace

std::optional<std::string> unsafeNameReason(std::string_view name) {
    if (name.empty()) return "the name is empty";
    if (name.front() == '\\' || name.front() == '/') return "the name starts with a path separator";
    for (char c : name) {
        if (static_cast<unsigned char>(c) < 0x20) return "the name holds a control character";
    }
    if (name.find(':') != std::string_view::npos) return "the name holds a drive or stream (\":\")";
    std::size_t start = 0;
    while (start <= name.size()) {
        const std::size_t end = std::min(name.find_first_of("\\/", start), name.size());
        const std::string_view part = name.substr(start, end - start);
        if (part.empty()) return "the name has an empty path part";
        if (part == "." || part == "..") return "the name holds \"" + std::string(part) + "\"";
        if (isDevicePart(part)) return "\"" + std::string(part) + "\" is a Windows device name";
        start = end + 1;
    }
    return std::nullopt;
}

std::filesystem::path pathFromUtf8(std::string_view text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

std::string utf8Of(const std::filesystem::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::filesystem::path hostPath(const std::filesystem::path& dir, std::string_view name) {
    std::filesystem::path path = dir;
    std::size_t start = 0;
    while (start <= name.size()) {
        const std::size_t end = std::min(name.find_first_of("\\/", start), name.size());
        path /= pathFromUtf8(name.substr(start, end - start));
        start = end + 1;
    }
    return path;
}

std::uint32_t checksum(const std::uint8_t* bytes, std::size_t size) {
    uLong crc = crc32(0L, Z_NULL, 0);
    while (size > 0) {
        const auto slice = static_cast<uInt>(std::min<std::size_t>(size, 1u << 30));
        crc = crc32(crc, bytes, slice);
        bytes += slice;
        size -= slice;
    }
    return static_cast<std::uint32_t>(crc);
}

std::optional<std::uint64_t> inflatedSize(const std::vector<std::uint8_t>& gzip) {
    z_stream stream{};
    if (gzip.empty() || inflateInit2(&stream, 16 + MAX_WBITS) != Z_OK) return std::nullopt;
    std::vector<std::uint8_t> window(1 << 16);
    std::uint64_t total = 0;
    std::size_t offset = 0;
    int status = Z_OK;
    while (offset < gzip.size()) {
        stream.next_in = const_cast<Bytef*>(gzip.data() + offset);
        stream.avail_in = static_cast<uInt>(std::min<std::size_t>(gzip.size() - offset, 1u << 30));
        const std::size_t given = stream.avail_in;
        stream.next_out = window.data();
        stream.avail_out = static_cast<uInt>(window.size());
        status = inflate(&stream, Z_NO_FLUSH);
        total += window.size() - stream.avail_out;
        offset += given - stream.avail_in;
        if (status == Z_STREAM_END && offset < gzip.size()) status = inflateReset(&stream);  // next member
        if (status != Z_OK && status != Z_STREAM_END) break;
    }
    inflateEnd(&stream);
    if (status != Z_STREAM_END) return std::nullopt;
    return total;
}

std::vector<std::uint8_t> encodeRecord(const Package& package) {
    std::vector<std::uint8_t> out;
    ByteWriter writer(out);
    writer.putUnsigned(kRecordMagic, 4);
    writer.putInt(package.integrityFlag);
    writer.putUnsigned(0, 4);  // checksum, patched below
    writer.putLong(0);         // covered length, patched below
    writer.putCount(package.strings.size(), "the string property table");
    for (const auto& [id, text] : package.strings) {
        writer.putInt(id);
        writer.putString(text);
    }
    writer.putMessages(package.messages);
    writer.putCount(package.languages.size(), "the language block table");
    for (const LanguageBlock& block : package.languages) {
        writer.putString(block.key);
        writer.putMessages(block.messages);
    }
    putIncludedFiles(out, package.files);
    const std::size_t covered = out.size() - kCoveredStart;
    patchUnsigned(out, 8, checksum(out.data() + kCoveredStart, covered), 4);
    patchUnsigned(out, 12, covered, 8);
    return out;
}

}  // namespace zendra::pack
