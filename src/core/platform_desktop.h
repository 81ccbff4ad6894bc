// Consoles, top-level windows of processes and the system restart.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zendra {

// Consoles, top-level windows of processes and the system restart.
class Desktop {
public:
    virtual ~Desktop() = default;
};

}  // namespace zendra
