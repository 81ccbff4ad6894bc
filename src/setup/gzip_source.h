// The decompressed bytes of a gzip file, read through the platform's File.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform.h"

namespace zendra::setup {

// Result of one read of decompressed bytes.
struct SourceRead {
    std::size_t bytes = 0;
    bool ok = true;  // false: the stream is damaged or the file could not be read
};

// Decompresses a gzip file as it is read, in the manner of zlib's gz functions in read mode:
// several concatenated members are read one after the other, bytes after the last member
// that do not start another member are ignored, and a file that does not start with the
// gzip magic is read as it is. A compressed stream cut short is an error, not an end.
class GzipSource {
public:
    // Reads from file, which must stay open while this source is used.
    explicit GzipSource(File& file);
    ~GzipSource();
    GzipSource(const GzipSource&) = delete;
    GzipSource& operator=(const GzipSource&) = delete;

    // Reads up to size decompressed bytes; fewer only at the end or on an error.
    SourceRead read(void* buffer, std::size_t size);
    // Skips count decompressed bytes; false on an error or when the data ends first.
    bool skip(std::uint64_t count);
    // Whether a read has met the end of the data.
    bool eof() const { return end_; }
    // The position in the decompressed data.
    std::uint64_t tell() const { return position_; }
    // What went wrong (empty while nothing did).
    const std::string& errorText() const { return error_; }

private:
    struct Stream;
    bool fill();
    bool startMember();
    std::size_t readRaw(std::uint8_t* out, std::size_t size);
    std::size_t inflateInto(std::uint8_t* out, std::size_t size);
    bool fail(std::string_view text);

    File& file_;
    std::unique_ptr<Stream> stream_;
    std::vector<std::uint8_t> input_;
    std::size_t inputStart_ = 0;
    std::size_t inputEnd_ = 0;
    bool fileEnded_ = false;
    bool started_ = false;
    bool direct_ = false;     // not gzip: bytes pass through
    bool inMember_ = false;   // inside a gzip member
    bool end_ = false;
    std::string error_;
    std::uint64_t position_ = 0;
};

}  // namespace zendra::setup
