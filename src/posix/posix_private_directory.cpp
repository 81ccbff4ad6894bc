#include "posix_private_directory.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace zendra::posix {

namespace {

// Whether dir is a directory of this user's own that nobody else may write to.
bool isOwnUnsharedDirectory(const char* dir) {
    struct stat info {};
    return ::lstat(dir, &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == ::geteuid() &&
           (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace

std::string userRuntimeDirectory() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime != nullptr && runtime[0] == '/' && isOwnUnsharedDirectory(runtime))
        return std::string(runtime) + "/zendra";
    return "/tmp/zendra-" + std::to_string(::geteuid());
}

int preparePrivateDirectory(const std::string& dir) {
    // The umask may cut the mode, never widen it; a looser existing mode is tightened below.
    if (::mkdir(dir.c_str(), 0700) != 0 && errno != EEXIST) return errno;
    struct stat info {};
    if (::lstat(dir.c_str(), &info) != 0) return errno;
    if (!S_ISDIR(info.st_mode)) return ENOTDIR;
    if (info.st_uid != ::geteuid()) return EACCES;
    if ((info.st_mode & 07777) != 0700 && ::chmod(dir.c_str(), 0700) != 0) return errno;
    return 0;
}

}  // namespace zendra::posix
