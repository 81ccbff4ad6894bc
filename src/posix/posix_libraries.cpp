#include "posix_libraries.h"

#include <dlfcn.h>

#include <cerrno>

namespace zendra::posix {

LibraryRef PosixLibraries::load(const std::string& path, std::uint32_t& error) {
    errno = 0;
    void* library = ::dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
    const int code = errno;
    if (library != nullptr) {
        error = 0;
        return library;
    }
    const char* text = ::dlerror();
    error = code != 0 ? static_cast<std::uint32_t>(code) : 1u;
    std::lock_guard<std::mutex> guard(lock_);
    lastError_ = text != nullptr ? text : "";
    return nullptr;
}

void* PosixLibraries::symbol(LibraryRef library, const char* name) {
    if (library == nullptr || name == nullptr) return nullptr;
    return ::dlsym(library, name);
}

std::string PosixLibraries::lastErrorText() const {
    std::lock_guard<std::mutex> guard(lock_);
    return lastError_;
}

}  // namespace zendra::posix
