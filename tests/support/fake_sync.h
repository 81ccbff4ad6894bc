// In-memory stand-in for the Synchronization services.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform_sync.h"

namespace zendra::test {

class FakeFileSystem;

// Thrown by a wait without time-out that nothing could ever satisfy (the count is 0 and
// no scripted action raises it): a real process would hang there.
struct FakeDeadlock {
    std::string name;
};

// Named semaphores as the kernel keeps them: a semaphore lives while any handle is open.
// Several FakeSynchronization objects (processes) may share one table.
struct FakeSemaphoreTable {
    // One named semaphore.
    struct Entry {
        std::int32_t count = 0;
        std::int32_t maximum = 0;
        int handles = 0;
    };
    // Whether a semaphore of that name exists.
    bool exists(const std::string& name) const { return entries.count(name) > 0; }
    // The current count of an existing semaphore (-1 when none exists).
    std::int32_t count(const std::string& name) const;

    std::map<std::string, Entry> entries;
};

// Semaphores over a shared table, pauses on a clock of their own, and exclusive creation
// in a FakeFileSystem; scripted actions run after a given number of pauses, so a test can
// play another process (the running instance) between the polls of the code under test.
class FakeSynchronization final : public Synchronization {
public:
    SemaphoreOpening createSemaphore(const std::string& name, std::int32_t initialCount,
                                     std::int32_t maximumCount) override;
    void sleep(std::uint32_t milliseconds) override;
    std::unique_ptr<File> createNewFile(const std::string& path, std::uint32_t& error) override;

    // Runs action right after the n-th pause, counted from 1 over the fake's life.
    void afterSleeps(int n, std::function<void()> action);
    // Plays the Java side of the running instance: after n pauses the file is read as
    // UTF-16LE into *taken (when given and the file exists) and deleted.
    void takeFileAfterSleeps(const std::string& path, int n, std::u16string* taken = nullptr);
    // A handle as another process would hold it (no record in created).
    std::unique_ptr<NamedSemaphore> holdSemaphore(const std::string& name, std::int32_t initialCount = 1,
                                                  std::int32_t maximumCount = 1);

    std::shared_ptr<FakeSemaphoreTable> semaphores = std::make_shared<FakeSemaphoreTable>();
    FakeFileSystem* files = nullptr;          // where createNewFile creates files; must be set
    std::vector<std::string> created;         // every name passed to createSemaphore, in order
    std::set<std::string> failingSemaphores;  // createSemaphore fails with error 5 for these
    bool releasesFail = false;                // every release fails with error 6
    std::uint32_t createNewError = 0;         // non-zero: createNewFile fails with this code
    bool writesFail = false;                  // files of createNewFile fail every write (error 112)
    std::function<void()> whileBlocked;       // runs once when a wait finds the count at 0
    int sleeps = 0;                           // pauses so far
    std::uint64_t elapsedMs = 0;              // the fake's clock, advanced only by sleep
    std::vector<std::uint32_t> sleepDurations;
    std::vector<std::string> waits;           // names waited on, in order
    std::vector<std::string> releases;        // names released (successfully), in order
    std::vector<std::string> newFiles;        // paths passed to createNewFile, in order

private:
    std::unique_ptr<NamedSemaphore> open(const std::string& name, std::int32_t initialCount,
                                         std::int32_t maximumCount, bool& existed);
    std::multimap<int, std::function<void()>> actions_;
    std::uintptr_t nextHandle_ = 0x40;
};

}  // namespace zendra::test
