// The process environment through the C library.
#pragma once

#include "platform.h"

namespace zendra::posix {

// The Environment of the portable core. A Linux process has one environment, so the
// operating system's and the runtime library's copies are the same. Error codes are errno.
class PosixEnvironment final : public Environment {
public:
    // getenv.
    std::optional<std::string> get(const std::string& name) override;
    // setenv, or unsetenv for nullopt.
    bool set(const std::string& name, const std::optional<std::string>& value, std::uint32_t& error) override;
    // "NAME=value" sets the variable; "NAME=" removes it, as the runtime library on Windows
    // does; text without "=" is ignored.
    void setRuntimeCopy(const std::string& assignment) override;
    // The variables of environ, in order.
    std::vector<std::pair<std::string, std::string>> block() override;
};

}  // namespace zendra::posix
