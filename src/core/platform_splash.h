// The splash window and the resources of the own executable.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zendra {

// The splash window and the resources of the own executable.
class SplashServices {
public:
    virtual ~SplashServices() = default;
};

}  // namespace zendra
