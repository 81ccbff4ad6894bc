// Files and directories through the 8-bit (ANSI) Win32 file functions.
#pragma once

#include "platform.h"

namespace zendra::win {

// The FileSystem of the portable core on the Win32 file API.
// openRead shares read and write; createWrite shares nothing; openAppend shares read and
// write (as the C runtime's append mode does) and returns a text-mode file: every "\n"
// written becomes CR LF on disk, and every write goes to the current end of the file.
class WinFileSystem final : public FileSystem {
public:
    // Opens an existing file for reading.
    std::unique_ptr<File> openRead(const std::string& path, std::uint32_t& error) override;
    // Creates or truncates a file for writing.
    std::unique_ptr<File> createWrite(const std::string& path, std::uint32_t& error) override;
    // Creates a file that does not exist yet.
    std::unique_ptr<File> createNew(const std::string& path, std::uint32_t& error) override;
    // Opens or creates a file for appending text with CR LF line ends.
    std::unique_ptr<File> openAppend(const std::string& path, std::uint32_t& error) override;
    // The first entry a search for path finds.
    std::optional<FileEntry> find(const std::string& path) override;
    // Every entry a search for pattern finds.
    std::vector<FileEntry> list(const std::string& pattern) override;
    // CreateDirectoryA.
    bool createDirectory(const std::string& path, std::uint32_t& error) override;
    // RemoveDirectoryA.
    bool removeDirectory(const std::string& path) override;
    // DeleteFileA.
    bool deleteFile(const std::string& path) override;
    // DeleteFileA with its last error.
    bool deleteFileWithError(const std::string& path, std::uint32_t& error) override;
    // A file (no directory) whose open handle is of the disk type: devices and pipes are not.
    bool isRegularFile(const std::string& path) override;
    // GetFullPathNameA.
    std::optional<std::string> fullPathName(const std::string& path) override;
    // GetLongPathNameA.
    std::optional<std::string> longPathName(const std::string& path) override;
    // GetShortPathNameA.
    std::optional<std::string> shortPathName(const std::string& path) override;
    // GetTempPathA with its returned length and last error.
    TempPathResult tempPath() override;
    // GetTempFileNameA with unique number 0 (creates the file).
    std::optional<std::string> tempFileName(const std::string& dir, const std::string& prefix,
                                            std::uint32_t& error) override;
    // GetWindowsDirectoryA without a trailing backslash.
    std::string windowsDirectory() override;
    // SetCurrentDirectoryA.
    bool setCurrentDirectory(const std::string& path) override;
    // SearchPathA over the system's default search order, the name taken as given
    // (no extension added), with symbolic links resolved to the file they lead to.
    std::optional<std::string> searchPath(const std::string& fileName) override;
};

}  // namespace zendra::win
