// Files and directories through POSIX calls.
#pragma once

#include <string>

#include "platform.h"
#include "posix_private_directory.h"

namespace zendra::posix {

// The FileSystem of the portable core on Linux. Paths are UTF-8 with "/" separators.
// Error codes are errno values, except the one the core compares against: a directory
// that exists already gives kErrorAlreadyExists (183) from createDirectory. Symbolic links are reported as what they are (a link to a
// directory is not a directory, so emptying a directory never follows one); their write
// time is the later of the link's and its target's, so that replacing the target counts.
class PosixFileSystem final : public FileSystem {
public:
    // privateDir: the directory privateDirectory makes sure of (tests use temporary ones).
    explicit PosixFileSystem(std::string privateDir = userRuntimeDirectory()) : privateDir_(std::move(privateDir)) {}
    // open(O_RDONLY); directories are refused with EISDIR.
    std::unique_ptr<File> openRead(const std::string& path, std::uint32_t& error) override;
    // open(O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW), mode 0666 less the umask: a link
    // planted in the file's place is refused, never written through.
    std::unique_ptr<File> createWrite(const std::string& path, std::uint32_t& error) override;
    // As createWrite, with O_EXCL instead of O_TRUNC.
    std::unique_ptr<File> createNew(const std::string& path, std::uint32_t& error) override;
    // open(O_WRONLY | O_CREAT | O_APPEND), mode 0666 less the umask.
    std::unique_ptr<File> openAppend(const std::string& path, std::uint32_t& error) override;
    // lstat of the path: its last component, directory flag and write time.
    std::optional<FileEntry> find(const std::string& path) override;
    // The names of the pattern's directory that match its last component (a Windows-style
    // wildcard), without "." and "..", sorted by name.
    std::vector<FileEntry> list(const std::string& pattern) override;
    // mkdir with mode 0777 less the umask; kErrorAlreadyExists when the path exists.
    bool createDirectory(const std::string& path, std::uint32_t& error) override;
    // rmdir.
    bool removeDirectory(const std::string& path) override;
    // unlink.
    bool deleteFile(const std::string& path) override;
    // The absolute path, resolved lexically against the current directory.
    std::optional<std::string> fullPathName(const std::string& path) override;
    // The path itself when it exists (Linux has no short or long forms).
    std::optional<std::string> longPathName(const std::string& path) override;
    // The path itself when it exists (Linux has no 8.3 names).
    std::optional<std::string> shortPathName(const std::string& path) override;
    // $TMPDIR when it names a directory, else "/tmp/"; always with a trailing "/".
    TempPathResult tempPath() override;
    // A new empty file dir/prefixXXXXXX with a unique random tail (mkstemp).
    std::optional<std::string> tempFileName(const std::string& dir, const std::string& prefix,
                                            std::uint32_t& error) override;
    // "": Linux has no Windows directory.
    std::string windowsDirectory() override { return {}; }
    // chdir.
    bool setCurrentDirectory(const std::string& path) override;
    // The first executable regular file dir/fileName along $PATH (an empty element is the
    // current directory), as an absolute path. A name with a "/" is checked as it is.
    std::optional<std::string> searchPath(const std::string& fileName) override;
    // The private directory given at construction, made sure of (preparePrivateDirectory).
    std::optional<std::string> privateDirectory(std::uint32_t& error) override;
    // mkdtemp: dir/prefixXXXXXX, mode 0700.
    std::optional<std::string> createUniqueDirectory(const std::string& dir, const std::string& prefix,
                                                     std::uint32_t& error) override;

private:
    std::string privateDir_;
};

}  // namespace zendra::posix
