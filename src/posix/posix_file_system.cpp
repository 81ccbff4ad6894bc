#include "posix_file_system.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "posix_file.h"
#include "posix_handles.h"
#include "posix_paths.h"

namespace zendra::posix {

namespace {

// The entry for name from its lstat information; dirFd and name locate it for the target's.
FileEntry toEntry(std::string name, const struct stat& info, int dirFd, const char* statName) {
    FileEntry entry;
    entry.name = std::move(name);
    entry.isDirectory = S_ISDIR(info.st_mode);
    entry.lastWriteTime = fileTimeFrom(info.st_mtim);
    struct stat target {};
    if (S_ISLNK(info.st_mode) && ::fstatat(dirFd, statName, &target, 0) == 0)
        entry.lastWriteTime = std::max(entry.lastWriteTime, fileTimeFrom(target.st_mtim));
    return entry;
}

// The process's current directory; empty when it cannot be told.
std::string currentDirectory() {
    std::string buffer(256, '\0');
    while (buffer.size() <= 1u << 20) {
        if (::getcwd(buffer.data(), buffer.size()) != nullptr) {
            buffer.resize(buffer.find('\0'));
            return buffer;
        }
        if (errno != ERANGE) return {};
        buffer.assign(buffer.size() * 2, '\0');
    }
    return {};
}

// Whether path is a regular file this process may execute.
bool isExecutableFile(const std::string& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && ::access(path.c_str(), X_OK) == 0;
}

// Whether path names something (a dangling link included).
bool exists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

}  // namespace

std::unique_ptr<File> PosixFileSystem::openRead(const std::string& path, std::uint32_t& error) {
    return openFile(path, O_RDONLY, error);
}

std::unique_ptr<File> PosixFileSystem::createWrite(const std::string& path, std::uint32_t& error) {
    return openFile(path, O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW, error);
}

std::unique_ptr<File> PosixFileSystem::createNew(const std::string& path, std::uint32_t& error) {
    return openFile(path, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW, error);
}

std::unique_ptr<File> PosixFileSystem::openAppend(const std::string& path, std::uint32_t& error) {
    return openFile(path, O_WRONLY | O_CREAT | O_APPEND, error);
}

std::optional<FileEntry> PosixFileSystem::find(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::lstat(path.c_str(), &info) != 0) return std::nullopt;
    return toEntry(lastComponent(path), info, AT_FDCWD, path.c_str());
}

std::vector<FileEntry> PosixFileSystem::list(const std::string& pattern) {
    std::vector<FileEntry> entries;
    const std::size_t slash = pattern.rfind('/');
    const std::string dir = slash == std::string::npos ? "." : pattern.substr(0, slash == 0 ? 1 : slash);
    const std::string wildcard = slash == std::string::npos ? pattern : pattern.substr(slash + 1);
    UniqueDir stream(::opendir(dir.c_str()));
    if (!stream) return entries;
    const int dirFd = ::dirfd(stream.get());
    while (const dirent* item = ::readdir(stream.get())) {
        const std::string name = item->d_name;
        if (name == "." || name == ".." || !matchesWildcard(wildcard, name)) continue;
        struct stat info {};
        if (::fstatat(dirFd, item->d_name, &info, AT_SYMLINK_NOFOLLOW) != 0) continue;
        entries.push_back(toEntry(name, info, dirFd, item->d_name));
    }
    std::sort(entries.begin(), entries.end(), [](const FileEntry& a, const FileEntry& b) { return a.name < b.name; });
    return entries;
}

bool PosixFileSystem::createDirectory(const std::string& path, std::uint32_t& error) {
    if (::mkdir(path.c_str(), 0777) == 0) {
        error = 0;
        return true;
    }
    // The core tells "was there already" apart by the Windows code.
    error = errno == EEXIST ? kErrorAlreadyExists : static_cast<std::uint32_t>(errno);
    return false;
}

bool PosixFileSystem::removeDirectory(const std::string& path) { return ::rmdir(path.c_str()) == 0; }

bool PosixFileSystem::deleteFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

std::optional<std::string> PosixFileSystem::fullPathName(const std::string& path) {
    if (path.empty()) return std::nullopt;
    if (path.front() == '/') return absoluteLexical(path, "/");
    const std::string cwd = currentDirectory();
    if (cwd.empty()) return std::nullopt;
    return absoluteLexical(path, cwd);
}

std::optional<std::string> PosixFileSystem::longPathName(const std::string& path) {
    if (path.empty() || !exists(path)) return std::nullopt;
    return path;
}

std::optional<std::string> PosixFileSystem::shortPathName(const std::string& path) {
    return longPathName(path);
}

TempPathResult PosixFileSystem::tempPath() {
    TempPathResult result;
    std::string dir = "/tmp";
    if (const char* configured = std::getenv("TMPDIR"); configured != nullptr && *configured != '\0') {
        struct stat info {};
        if (::stat(configured, &info) == 0 && S_ISDIR(info.st_mode)) dir = fullPathName(configured).value_or(dir);
    }
    if (dir.back() != '/') dir.push_back('/');
    result.path = dir;
    result.length = static_cast<std::uint32_t>(dir.size());
    return result;
}

std::optional<std::string> PosixFileSystem::tempFileName(const std::string& dir, const std::string& prefix,
                                                         std::uint32_t& error) {
    std::string name = dir;
    if (!name.empty() && name.back() != '/') name.push_back('/');
    if (prefix.find('/') != std::string::npos) {
        error = EINVAL;
        return std::nullopt;
    }
    name += prefix + "XXXXXX";
    UniqueFd fd(::mkostemp(name.data(), O_CLOEXEC));
    if (!fd) {
        error = static_cast<std::uint32_t>(errno);
        return std::nullopt;
    }
    error = 0;
    return name;
}

std::optional<std::string> PosixFileSystem::privateDirectory(std::uint32_t& error) {
    const int failure = preparePrivateDirectory(privateDir_);
    error = static_cast<std::uint32_t>(failure);
    if (failure != 0) return std::nullopt;
    return privateDir_;
}

std::optional<std::string> PosixFileSystem::createUniqueDirectory(const std::string& dir, const std::string& prefix,
                                                                  std::uint32_t& error) {
    if (prefix.find('/') != std::string::npos) {
        error = EINVAL;
        return std::nullopt;
    }
    std::string name = dir;
    if (!name.empty() && name.back() != '/') name.push_back('/');
    name += prefix + "XXXXXX";
    if (::mkdtemp(name.data()) == nullptr) {
        error = static_cast<std::uint32_t>(errno);
        return std::nullopt;
    }
    error = 0;
    return name;
}

bool PosixFileSystem::setCurrentDirectory(const std::string& path) { return ::chdir(path.c_str()) == 0; }

// A program found along PATH with its links resolved: distributions reach the runtime's
// "java" through links such as /usr/bin/java, and only the real file sits in a Java home.
static std::optional<std::string> resolvedProgram(PosixFileSystem& fs, const std::string& path) {
    std::error_code error;
    const std::filesystem::path real = std::filesystem::canonical(path, error);
    if (error) return fs.fullPathName(path);
    return real.string();
}

std::optional<std::string> PosixFileSystem::searchPath(const std::string& fileName) {
    if (fileName.empty()) return std::nullopt;
    if (fileName.find('/') != std::string::npos) {
        if (!isExecutableFile(fileName)) return std::nullopt;
        return resolvedProgram(*this, fileName);
    }
    const char* variable = std::getenv("PATH");
    const std::string pathList = variable != nullptr ? variable : "/bin:/usr/bin";
    std::size_t start = 0;
    while (start <= pathList.size()) {
        std::size_t end = pathList.find(':', start);
        if (end == std::string::npos) end = pathList.size();
        std::string dir = pathList.substr(start, end - start);
        if (dir.empty()) dir = ".";
        const std::string candidate = dir + "/" + fileName;
        if (isExecutableFile(candidate)) return resolvedProgram(*this, candidate);
        start = end + 1;
    }
    return std::nullopt;
}

}  // namespace zendra::posix
