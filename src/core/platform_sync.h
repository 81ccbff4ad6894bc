// Named semaphores, pauses and exclusive file creation, shared between launcher processes.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zendra {

// Named semaphores, pauses and exclusive file creation, shared between launcher processes.
class Synchronization {
public:
    virtual ~Synchronization() = default;
};

}  // namespace zendra
