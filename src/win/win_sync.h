// The Win32 implementation of the Synchronization services.
#pragma once

#include "platform.h"

namespace zendra::win {

// Named semaphores, pauses and exclusive file creation, shared between launcher processes, through Win32.
class WinSynchronization final : public Synchronization {
public:
    // CreateSemaphoreA; the status is the last error right after it (ERROR_ALREADY_EXISTS when opened).
    SemaphoreOpening createSemaphore(const std::string& name, std::int32_t initialCount,
                                     std::int32_t maximumCount) override;
    // Sleep.
    void sleep(std::uint32_t milliseconds) override;
    // CreateFileA with CREATE_NEW, write access, no sharing.
    std::unique_ptr<File> createNewFile(const std::string& path, std::uint32_t& error) override;
};

}  // namespace zendra::win
