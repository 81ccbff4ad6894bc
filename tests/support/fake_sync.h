// In-memory stand-in for the Synchronization services.
#pragma once

#include "platform_sync.h"

namespace zendra::test {

// Records what the core asks of the Synchronization services.
class FakeSynchronization final : public Synchronization {
public:
};

}  // namespace zendra::test
