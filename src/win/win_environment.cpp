#include "win_environment.h"

#include "win32.h"

namespace zendra::win {

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

bool WinEnvironment::set(const std::string& name, const std::optional<std::string>& value) {
    return ::SetEnvironmentVariableA(name.c_str(), value ? value->c_str() : nullptr) != FALSE;
}

}  // namespace zendra::win
