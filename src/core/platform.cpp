#include "platform.h"

#include <cerrno>
#include <filesystem>

namespace zendra {

bool FileSystem::deleteFileWithError(const std::string& path, std::uint32_t& error) {
    errno = 0;
    const bool deleted = deleteFile(path);
    error = deleted ? 0 : static_cast<std::uint32_t>(errno);
    return deleted;
}

bool FileSystem::isRegularFile(const std::string& path) {
    std::error_code error;
    return std::filesystem::is_regular_file(std::filesystem::path(path), error);
}

}  // namespace zendra
