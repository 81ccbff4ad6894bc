#include "gzip_source.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cstring>

#include "logger.h"

namespace zendra::setup {
namespace {

constexpr std::size_t kInputSize = 128 * 1024;
constexpr int kGzipOnly = 15 + 16;  // the largest window, gzip wrapper expected
constexpr std::uint8_t kMagic0 = 0x1f;
constexpr std::uint8_t kMagic1 = 0x8b;

}  // namespace

struct GzipSource::Stream {
    z_stream z{};
    bool ready = false;
    Stream() { ready = inflateInit2(&z, kGzipOnly) == Z_OK; }
    ~Stream() {
        if (ready) inflateEnd(&z);
    }
};

GzipSource::GzipSource(File& file) : file_(file), stream_(std::make_unique<Stream>()), input_(kInputSize) {}

GzipSource::~GzipSource() = default;

bool GzipSource::fail(std::string_view text) {
    if (error_.empty()) error_ = text;
    return false;
}

// Moves unread input to the front and reads more behind it; false at the file's end or on an error.
bool GzipSource::fill() {
    if (!error_.empty() || fileEnded_) return false;
    if (inputStart_ > 0) {
        std::memmove(input_.data(), input_.data() + inputStart_, inputEnd_ - inputStart_);
        inputEnd_ -= inputStart_;
        inputStart_ = 0;
    }
    const IoResult got = file_.read(input_.data() + inputEnd_, input_.size() - inputEnd_);
    if (!got.ok) return fail(formatText("read error %u", static_cast<unsigned>(got.error)));
    if (got.bytes == 0) {
        fileEnded_ = true;
        return false;
    }
    inputEnd_ += got.bytes;
    return true;
}

// Looks at the next two input bytes: a gzip member starts there (true), or the data ends.
bool GzipSource::startMember() {
    while (inputEnd_ - inputStart_ < 2 && fill()) {
    }
    if (!error_.empty()) return false;
    if (inputEnd_ - inputStart_ < 2 || input_[inputStart_] != kMagic0 || input_[inputStart_ + 1] != kMagic1) {
        if (!started_ && inputEnd_ > inputStart_) direct_ = true;  // not gzip at all: read as it is
        started_ = true;
        return false;
    }
    if (started_ && inflateReset(&stream_->z) != Z_OK) return fail("inflateReset failed");
    started_ = true;
    inMember_ = true;
    return true;
}

std::size_t GzipSource::readRaw(std::uint8_t* out, std::size_t size) {
    std::size_t got = 0;
    while (got < size) {
        if (inputStart_ == inputEnd_ && !fill()) break;
        const std::size_t n = std::min(size - got, inputEnd_ - inputStart_);
        std::memcpy(out + got, input_.data() + inputStart_, n);
        inputStart_ += n;
        got += n;
    }
    if (got < size && error_.empty()) end_ = true;
    return got;
}

std::size_t GzipSource::inflateInto(std::uint8_t* out, std::size_t size) {
    z_stream& z = stream_->z;
    std::size_t got = 0;
    while (got < size) {
        if (!inMember_ && !startMember()) {
            if (direct_) return got + readRaw(out + got, size - got);
            if (error_.empty()) end_ = true;
            break;
        }
        if (inputStart_ == inputEnd_ && !fill()) {
            if (error_.empty()) fail("unexpected end of file");
            break;
        }
        const auto inBefore = static_cast<uInt>(inputEnd_ - inputStart_);
        const auto outBefore = static_cast<uInt>(std::min<std::size_t>(size - got, UINT_MAX));
        z.next_in = input_.data() + inputStart_;
        z.avail_in = inBefore;
        z.next_out = out + got;
        z.avail_out = outBefore;
        const int rc = inflate(&z, Z_NO_FLUSH);
        inputStart_ += inBefore - z.avail_in;
        got += outBefore - z.avail_out;
        if (rc == Z_STREAM_END) {
            inMember_ = false;
        } else if (rc != Z_OK && rc != Z_BUF_ERROR) {
            fail(z.msg != nullptr ? z.msg : "damaged compressed data");
            break;
        } else if (rc == Z_BUF_ERROR && z.avail_in == inBefore && z.avail_out == outBefore) {
            fail("stream error");
            break;
        }
    }
    return got;
}

SourceRead GzipSource::read(void* buffer, std::size_t size) {
    if (!stream_->ready) fail("inflateInit failed");
    if (!error_.empty()) return {0, false};
    if (end_ || size == 0) return {0, true};
    auto* out = static_cast<std::uint8_t*>(buffer);
    const std::size_t got = direct_ ? readRaw(out, size) : inflateInto(out, size);
    position_ += got;
    return {got, error_.empty()};
}

bool GzipSource::skip(std::uint64_t count) {
    std::array<std::uint8_t, 16384> scratch;
    while (count > 0) {
        const SourceRead got = read(scratch.data(), static_cast<std::size_t>(std::min<std::uint64_t>(count, scratch.size())));
        if (!got.ok || got.bytes == 0) return false;
        count -= got.bytes;
    }
    return true;
}

}  // namespace zendra::setup
