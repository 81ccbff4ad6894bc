// The process environment through the 8-bit Win32 environment functions.
#pragma once

#include "platform.h"

namespace zendra::win {

// The Environment of the portable core. get, set and block work on the Win32 environment
// block, which child processes inherit; only setRuntimeCopy touches the C runtime's copy
// (what getenv reads).
class WinEnvironment final : public Environment {
public:
    // GetEnvironmentVariableA; an existing empty variable gives "".
    std::optional<std::string> get(const std::string& name) override;
    // SetEnvironmentVariableA; nullopt removes the variable.
    bool set(const std::string& name, const std::optional<std::string>& value, std::uint32_t& error) override;
    // _putenv: updates the C runtime's copy (and, through it, the Win32 block).
    void setRuntimeCopy(const std::string& assignment) override;
    // GetEnvironmentStringsA, without the "=C:=..." entries of the drives' current directories.
    std::vector<std::pair<std::string, std::string>> block() override;
};

}  // namespace zendra::win
