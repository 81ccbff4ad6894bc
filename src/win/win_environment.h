// The process environment through the 8-bit Win32 environment functions.
#pragma once

#include "platform.h"

namespace zendra::win {

// The Environment of the portable core. It reads and writes the Win32 environment block,
// which child processes inherit; the C runtime's own copy (getenv) is not updated.
class WinEnvironment final : public Environment {
public:
    // GetEnvironmentVariableA; an existing empty variable gives "".
    std::optional<std::string> get(const std::string& name) override;
    // SetEnvironmentVariableA; nullopt removes the variable.
    bool set(const std::string& name, const std::optional<std::string>& value) override;
};

}  // namespace zendra::win
