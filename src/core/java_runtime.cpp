#include "java_runtime.h"

#include <algorithm>

namespace zendra {
namespace {

constexpr std::array<std::string_view, 2> kVersionPrefixes = {"java version \"", "openjdk version \""};

}  // namespace

std::optional<std::string> parseVersionLine(std::string_view line) {
    line = line.substr(0, line.find('\0'));  // the text ends at a NUL byte, as it does once cached
    for (std::string_view prefix : kVersionPrefixes) {
        if (line.substr(0, prefix.size()) != prefix) continue;
        std::string_view rest = line.substr(prefix.size());
        std::size_t end = rest.find('"');
        if (end == std::string_view::npos) {
            end = rest.size();
            while (end > 0 && (rest[end - 1] == '\n' || rest[end - 1] == '\r')) --end;
        }
        if (end == 0) return std::nullopt;
        return std::string(rest.substr(0, end));
    }
    return std::nullopt;
}

std::size_t javaExeNameLength(std::string_view javaExe) {
    constexpr std::string_view windowed = "javaw.exe";
    const bool isWindowed =
        javaExe.size() >= windowed.size() && javaExe.substr(javaExe.size() - windowed.size()) == windowed;
    return isWindowed ? windowed.size() : std::string_view("java.exe").size();
}

std::string javaExeDirectory(std::string_view javaExe, const PathConventions& conventions) {
    if (!conventions.windows) return directoryPart(conventions, std::string(javaExe));
    const std::size_t cut = std::min(javaExeNameLength(javaExe), javaExe.size());
    return std::string(javaExe.substr(0, javaExe.size() - cut));
}

std::string javaExeBinDirectory(std::string_view javaExe, const PathConventions& conventions) {
    std::string dir = javaExeDirectory(javaExe, conventions);
    if (!dir.empty()) dir.pop_back();
    return dir;
}

std::vector<std::string> splitList(std::string_view list) {
    std::vector<std::string> entries;
    std::size_t start = 0;
    while (start < list.size()) {
        std::size_t end = list.find(';', start);
        if (end == std::string_view::npos) end = list.size();
        if (end > start) entries.emplace_back(list.substr(start, end - start));
        start = end + 1;
    }
    return entries;
}

std::string jvmHomeOf(std::string_view javaExe, const PathConventions& conventions) {
    return javaExeDirectory(javaExe, conventions) + "..";
}

}  // namespace zendra
