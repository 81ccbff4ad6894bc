#include "path_conventions.h"

#include <algorithm>

namespace zendra {

std::string toNativeSeparators(const PathConventions& conventions, std::string path) {
    const char foreign = conventions.separator == '/' ? '\\' : '/';
    std::replace(path.begin(), path.end(), foreign, conventions.separator);
    return path;
}

bool isSeparator(const PathConventions& conventions, char c) {
    return c == conventions.separator || (conventions.windows && c == '/');
}

std::string directoryPart(const PathConventions& conventions, const std::string& path) {
    const std::size_t cut = path.find_last_of(conventions.separator);
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

std::string withTrailingSeparator(const PathConventions& conventions, std::string dir) {
    if (dir.empty() || dir.back() != conventions.separator) dir += conventions.separator;
    return dir;
}

std::string joinPath(const PathConventions& conventions, const std::string& dir, const std::string& name) {
    return withTrailingSeparator(conventions, dir) + name;
}

std::string_view posixRuntimeArchitecture() {
#if defined(__x86_64__)
    return "amd64";
#elif defined(__aarch64__)
    return "aarch64";
#elif defined(__i386__)
    return "i386";
#elif defined(__arm__)
    return "arm";
#elif defined(__powerpc64__)
    return "ppc64le";
#elif defined(__s390x__)
    return "s390x";
#else
    return "unknown";
#endif
}

}  // namespace zendra
