// Named semaphores, pauses and exclusive file creation, shared between launcher processes.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

namespace zendra {

class File;  // an open file (platform.h)

// The status a creation reports when the name existed already (ERROR_ALREADY_EXISTS).
inline constexpr std::uint32_t kErrorAlreadyExists = 183;

// The status of a file creation that found the file present (ERROR_FILE_EXISTS).
inline constexpr std::uint32_t kErrorFileExists = 80;

// The result of a wait that could not be made at all (WAIT_FAILED).
inline constexpr std::uint32_t kWaitFailed = 0xFFFFFFFFu;

// The result of a wait that took the semaphore's count (WAIT_OBJECT_0).
inline constexpr std::uint32_t kWaitTaken = 0;

// An open handle on a named semaphore; the handle is closed when this object is destroyed,
// and the semaphore itself ends with the last handle of any process.
class NamedSemaphore {
public:
    virtual ~NamedSemaphore() = default;
    // Waits without time-out for the count and takes one; the system's wait result.
    virtual std::uint32_t wait() = 0;
    // Raises the count by one; false with the system error code when that fails.
    virtual bool release(std::uint32_t& error) = 0;
    // The handle's value, for diagnostic lines.
    virtual const void* handleValue() const = 0;
};

// What creating (or opening an existing) named semaphore gave.
struct SemaphoreOpening {
    std::unique_ptr<NamedSemaphore> semaphore;  // null when it could be neither created nor opened
    std::uint32_t status = 0;                   // the system status right after the call

    // Whether the name existed already, so that another handle holds the semaphore.
    bool alreadyExisted() const { return semaphore != nullptr && status == kErrorAlreadyExists; }
};

// Named semaphores, pauses and exclusive file creation, shared between launcher processes.
class Synchronization {
public:
    virtual ~Synchronization() = default;
    // Creates the named semaphore with the counts, or opens it when the name exists already.
    virtual SemaphoreOpening createSemaphore(const std::string& name, std::int32_t initialCount,
                                             std::int32_t maximumCount) = 0;
    // Pauses the calling thread.
    virtual void sleep(std::uint32_t milliseconds) = 0;
    // Creates a file for writing, not shared, that must not exist yet; null and the system
    // error code (kErrorFileExists when it was there) otherwise.
    virtual std::unique_ptr<File> createNewFile(const std::string& path, std::uint32_t& error) = 0;
};

}  // namespace zendra
