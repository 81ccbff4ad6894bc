// Open files of the Windows layer: plain binary files and text files opened for appending.
#pragma once

#include "handles.h"
#include "platform.h"

namespace zendra::win {

// A File over a Win32 file handle; bytes are read and written unchanged.
class HandleFile : public File {
public:
    // Takes ownership of an open file handle.
    explicit HandleFile(UniqueHandle handle) noexcept : handle_(std::move(handle)) {}
    // ReadFile at the current position.
    IoResult read(void* buffer, std::size_t size) override;
    // WriteFile at the current position.
    IoResult write(const void* buffer, std::size_t size) override;
    // SetFilePointerEx from the start.
    bool seek(std::uint64_t position) override;
    // The current file pointer.
    std::uint64_t position() override;
    // GetFileSizeEx.
    std::optional<std::uint64_t> size() override;

protected:
    // The underlying handle.
    HANDLE handle() const noexcept { return handle_.get(); }

private:
    UniqueHandle handle_;
};

// A file opened for appending text, as the C runtime's "a" mode: each write moves to the
// end of the file first, and each "\n" is written as CR LF. write reports how many bytes
// of the caller's text were stored, not how many reached the disk.
class TextAppendFile final : public HandleFile {
public:
    using HandleFile::HandleFile;
    // Appends text, translating line feeds.
    IoResult write(const void* buffer, std::size_t size) override;
};

}  // namespace zendra::win
