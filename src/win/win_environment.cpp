#include "win_environment.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include "win32.h"

namespace zendra::win {

namespace {

// Releases a block from GetEnvironmentStringsA.
struct EnvironmentBlockFree {
    void operator()(char* block) const noexcept { ::FreeEnvironmentStringsA(block); }
};

// An owned copy of the process environment block.
using EnvironmentBlock = std::unique_ptr<char, EnvironmentBlockFree>;

}  // namespace

std::optional<std::string> WinEnvironment::get(const std::string& name) {
    std::string buffer(256, '\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        ::SetLastError(ERROR_SUCCESS);
        const DWORD length = ::GetEnvironmentVariableA(name.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) {
            // Zero means either "not set" or an empty value; only the error code tells them apart.
            if (::GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
            return std::string();
        }
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        // Too small: length is the size needed including the terminator. The value may
        // change between calls, hence the loop.
        buffer.assign(length, '\0');
    }
    return std::nullopt;
}

bool WinEnvironment::set(const std::string& name, const std::optional<std::string>& value, std::uint32_t& error) {
    const bool done = ::SetEnvironmentVariableA(name.c_str(), value ? value->c_str() : nullptr) != FALSE;
    error = done ? 0 : ::GetLastError();
    return done;
}

void WinEnvironment::setRuntimeCopy(const std::string& assignment) {
    ::_putenv(assignment.c_str());
}

std::vector<std::pair<std::string, std::string>> WinEnvironment::block() {
    std::vector<std::pair<std::string, std::string>> variables;
    const EnvironmentBlock strings(::GetEnvironmentStringsA());
    if (!strings) return variables;
    // "NAME=value\0" entries, one after another, ended by an empty entry.
    for (const char* entry = strings.get(); *entry != '\0'; entry += std::strlen(entry) + 1) {
        // Entries that start with '=' record the current directory of each drive.
        if (*entry == '=') continue;
        const char* equals = std::strchr(entry, '=');
        const char* nameEnd = equals != nullptr ? equals : entry + std::strlen(entry);
        variables.emplace_back(std::string(entry, nameEnd), std::string(equals != nullptr ? equals + 1 : nameEnd));
    }
    return variables;
}

}  // namespace zendra::win
