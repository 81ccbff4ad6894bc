#include "posix_file.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>
#include <climits>

namespace zendra::posix {

namespace {

// A request size the system calls take in one piece (a larger request moves fewer bytes).
std::size_t chunkSize(std::size_t size) {
    constexpr std::size_t kMaxChunk = 0x7FFFF000;  // what Linux moves at most per call
    return size < kMaxChunk ? size : kMaxChunk;
}

// The outcome of one read or write; error is errno captured right after the call.
IoResult ioResult(ssize_t moved, int error) {
    IoResult result;
    result.ok = moved >= 0;
    result.bytes = moved > 0 ? static_cast<std::size_t>(moved) : 0;
    result.error = result.ok ? 0 : static_cast<std::uint32_t>(error);
    return result;
}

}  // namespace

IoResult FdFile::read(void* buffer, std::size_t size) {
    const ssize_t moved = retryOnInterrupt([&] { return ::read(fd_.get(), buffer, chunkSize(size)); });
    return ioResult(moved, errno);
}

IoResult FdFile::write(const void* buffer, std::size_t size) {
    const ssize_t moved = retryOnInterrupt([&] { return ::write(fd_.get(), buffer, chunkSize(size)); });
    return ioResult(moved, errno);
}

bool FdFile::seek(std::uint64_t position) {
    if (position > static_cast<std::uint64_t>(LLONG_MAX)) return false;
    return ::lseek(fd_.get(), static_cast<off_t>(position), SEEK_SET) != -1;
}

std::uint64_t FdFile::position() {
    const off_t current = ::lseek(fd_.get(), 0, SEEK_CUR);
    return current < 0 ? 0 : static_cast<std::uint64_t>(current);
}

std::optional<std::uint64_t> FdFile::size() {
    struct stat info {};
    if (::fstat(fd_.get(), &info) != 0) return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
}

std::unique_ptr<File> openFile(const std::string& path, int flags, std::uint32_t& error) {
    UniqueFd fd(retryOnInterrupt([&] { return ::open(path.c_str(), flags | O_CLOEXEC, 0666); }));
    if (!fd) {
        error = static_cast<std::uint32_t>(errno);
        return nullptr;
    }
    struct stat info {};
    if (::fstat(fd.get(), &info) == 0 && S_ISDIR(info.st_mode)) {
        error = EISDIR;
        return nullptr;
    }
    error = 0;
    return std::make_unique<FdFile>(std::move(fd));
}

}  // namespace zendra::posix
