#include "posix_environment.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

extern "C" char** environ;

namespace zendra::posix {

std::optional<std::string> PosixEnvironment::get(const std::string& name) {
    const char* value = std::getenv(name.c_str());
    if (value == nullptr) return std::nullopt;
    return std::string(value);
}

bool PosixEnvironment::set(const std::string& name, const std::optional<std::string>& value, std::uint32_t& error) {
    const int status = value ? ::setenv(name.c_str(), value->c_str(), 1) : ::unsetenv(name.c_str());
    error = status == 0 ? 0 : static_cast<std::uint32_t>(errno);
    return status == 0;
}

void PosixEnvironment::setRuntimeCopy(const std::string& assignment) {
    const std::size_t equals = assignment.find('=');
    if (equals == std::string::npos || equals == 0) return;
    const std::string name = assignment.substr(0, equals);
    std::uint32_t error = 0;
    if (equals + 1 == assignment.size()) {
        set(name, std::nullopt, error);
    } else {
        set(name, assignment.substr(equals + 1), error);
    }
}

std::vector<std::pair<std::string, std::string>> PosixEnvironment::block() {
    std::vector<std::pair<std::string, std::string>> variables;
    if (environ == nullptr) return variables;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const char* equals = std::strchr(*entry, '=');
        if (equals == nullptr) {
            variables.emplace_back(*entry, std::string());
        } else {
            variables.emplace_back(std::string(*entry, static_cast<std::size_t>(equals - *entry)), std::string(equals + 1));
        }
    }
    return variables;
}

}  // namespace zendra::posix
