// Open files of the POSIX layer.
#pragma once

#include "platform.h"
#include "posix_handles.h"

namespace zendra::posix {

// A File over an open descriptor; bytes are read and written unchanged (a descriptor
// opened with O_APPEND writes at the end of the file, as the C runtime's "a" mode).
class FdFile final : public File {
public:
    // Takes ownership of an open descriptor.
    explicit FdFile(UniqueFd fd) noexcept : fd_(std::move(fd)) {}
    // read(2) at the current position.
    IoResult read(void* buffer, std::size_t size) override;
    // write(2) at the current position.
    IoResult write(const void* buffer, std::size_t size) override;
    // lseek from the start.
    bool seek(std::uint64_t position) override;
    // The current offset (0 when it cannot be told).
    std::uint64_t position() override;
    // fstat's size.
    std::optional<std::uint64_t> size() override;

private:
    UniqueFd fd_;
};

// Opens path with open(2) and O_CLOEXEC; a null file and errno on failure. Directories are
// refused with EISDIR, as a file open on Windows refuses them.
std::unique_ptr<File> openFile(const std::string& path, int flags, std::uint32_t& error);

}  // namespace zendra::posix
