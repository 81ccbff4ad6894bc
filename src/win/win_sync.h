// The Win32 implementation of the Synchronization services.
#pragma once

#include "platform_sync.h"

namespace zendra::win {

// Named semaphores, pauses and exclusive file creation, shared between launcher processes, through Win32.
class WinSynchronization final : public Synchronization {
public:
};

}  // namespace zendra::win
