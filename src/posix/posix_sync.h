// Named semaphores, pauses and exclusive file creation between launcher processes on Linux.
#pragma once

#include <string>

#include "platform.h"

namespace zendra::posix {

// Where the lock files of named semaphores live.
struct SemaphoreDirectories {
    std::string global;  // names starting "Global\\": shared by every user (mode 01777, files 0666)
    std::string local;   // every other name: this user's own (mode 0700, files 0600)
};

// "/tmp/zendra-semaphores", and the user's own runtime directory (userRuntimeDirectory).
SemaphoreDirectories defaultSemaphoreDirectories();

// Where one name's lock files are: which directory and the files' common stem. "Global\\"
// and "Local\\" are dropped from the stem; every character outside [A-Za-z0-9._-] becomes
// "%XX", and a stem too long for a file name is cut and ends in "%h" and a hash of the name.
struct SemaphoreLocation {
    bool global = false;
    std::string stem;
};

// The location of a semaphore name.
SemaphoreLocation semaphoreLocation(const std::string& name);

// The Synchronization of the portable core on Linux.
//
// A named semaphore exists exactly as long as some open handle holds it, in any process,
// even one that was killed: each handle holds a shared flock on the name's "exists" file,
// which the kernel drops when the descriptor goes. Creation tries an exclusive lock on that
// file while holding the name's "gate" lock, so that two creators never both see "created".
// The launchers use initial and maximum count 1 only; other counts are refused (null result,
// EINVAL). The count is an exclusive flock on the name's "count" file: wait takes it, release
// gives it back. Every handle has its own open file descriptions, so handles of one process
// exclude each other too. Status and error codes are errno values, except the Windows codes
// the core compares against: kErrorAlreadyExists (183) when the name existed, and
// kErrorFileExists (80) from createNewFile when the file was there.
class PosixSynchronization final : public Synchronization {
public:
    // Lock files under the given directories, created when missing.
    explicit PosixSynchronization(SemaphoreDirectories directories = defaultSemaphoreDirectories());
    // Creates or opens the name; status 0 when created, kErrorAlreadyExists when it existed.
    SemaphoreOpening createSemaphore(const std::string& name, std::int32_t initialCount,
                                     std::int32_t maximumCount) override;
    // nanosleep.
    void sleep(std::uint32_t milliseconds) override;
    // open(O_CREAT | O_EXCL | O_NOFOLLOW | O_WRONLY), mode 0600 less the umask.
    std::unique_ptr<File> createNewFile(const std::string& path, std::uint32_t& error) override;

private:
    SemaphoreDirectories directories_;
};

}  // namespace zendra::posix
