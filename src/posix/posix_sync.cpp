#include "posix_sync.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

#include "posix_desktop.h"
#include "posix_file.h"
#include "posix_handles.h"
#include "posix_private_directory.h"

namespace zendra::posix {

namespace {

constexpr std::string_view kGlobalPrefix = "Global\\";
constexpr std::string_view kLocalPrefix = "Local\\";
constexpr std::size_t kMaxStem = 200;  // leaves room for the suffixes below 255 bytes

// flock, retried when a signal interrupts it; errno on failure.
int lockFile(int fd, int operation) {
    return retryOnInterrupt([&] { return ::flock(fd, operation); });
}

// One open handle on a named semaphore: a shared lock on "exists" and the "count" file.
class PosixSemaphore final : public NamedSemaphore {
public:
    PosixSemaphore(UniqueFd exists, UniqueFd count) noexcept : exists_(std::move(exists)), count_(std::move(count)) {}
    // Takes the count (a second wait on a handle that holds it returns at once).
    std::uint32_t wait() override {
        if (lockFile(count_.get(), LOCK_EX) != 0) return kWaitFailed;
        held_ = true;
        return kWaitTaken;
    }
    // Gives the count back; EOVERFLOW when this handle does not hold it.
    bool release(std::uint32_t& error) override {
        if (!held_) {
            error = EOVERFLOW;
            return false;
        }
        if (lockFile(count_.get(), LOCK_UN) != 0) {
            error = static_cast<std::uint32_t>(errno);
            return false;
        }
        held_ = false;
        return true;
    }
    const void* handleValue() const override {
        return reinterpret_cast<const void*>(static_cast<std::uintptr_t>(exists_.get()));
    }

private:
    UniqueFd exists_;
    UniqueFd count_;
    bool held_ = false;
};

// Makes sure dir is a real directory (no link) fit for lock files; errno when it is not.
int prepareDirectory(const std::string& dir, bool shared) {
    if (!shared) return preparePrivateDirectory(dir);
    if (::mkdir(dir.c_str(), 01777) == 0) {
        // mkdir's mode is cut by the umask.
        if (::chmod(dir.c_str(), 01777) != 0) return errno;
    } else if (errno != EEXIST) {
        return errno;
    }
    struct stat info {};
    if (::lstat(dir.c_str(), &info) != 0) return errno;
    return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
}

// Opens (creating) one lock file without following links; errno when it cannot.
UniqueFd openLockFile(const std::string& path, bool shared, int& error) {
    const mode_t mode = shared ? 0666 : 0600;
    UniqueFd fd(retryOnInterrupt(
        [&] { return ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC | O_NOFOLLOW, mode); }));
    if (!fd) {
        error = errno;
        return fd;
    }
    struct stat info {};
    if (shared && ::fstat(fd.get(), &info) == 0 && info.st_uid == ::geteuid() && (info.st_mode & 0777) != mode)
        ::fchmod(fd.get(), mode);  // the umask cut the mode; another user's file stays as it is
    return fd;
}

// Holds the name's gate lock while a creator decides between "created" and "existed".
class GateLock {
public:
    GateLock(UniqueFd fd, int& error) : fd_(std::move(fd)) {
        if (lockFile(fd_.get(), LOCK_EX) != 0) error = errno;
    }
    ~GateLock() { lockFile(fd_.get(), LOCK_UN); }
    GateLock(const GateLock&) = delete;
    GateLock& operator=(const GateLock&) = delete;

private:
    UniqueFd fd_;
};

// Takes the shared "exists" lock under the name's gate: 0 when nobody held it (the name is
// created), kErrorAlreadyExists when somebody did; error receives errno on failure.
std::uint32_t holdExistence(UniqueFd gate, int exists, int& error) {
    const GateLock held(std::move(gate), error);
    if (error != 0) return 0;
    std::uint32_t status = kErrorAlreadyExists;
    if (lockFile(exists, LOCK_EX | LOCK_NB) == 0) {
        status = 0;
    } else if (errno != EWOULDBLOCK) {
        error = errno;
        return 0;
    }
    // Nobody else tries the exclusive lock while the gate is held, so this never waits.
    if (lockFile(exists, LOCK_SH) != 0) error = errno;
    return status;
}

// The ASCII characters a lock file name keeps as they are.
bool keptAsIs(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
           c == '-';
}

// FNV-1a, 64 bits: a stable hash of a name for stems that were cut.
std::uint64_t nameHash(std::string_view text) {
    std::uint64_t hash = 0xcbf29ce484222325u;
    for (char c : text) {
        hash ^= static_cast<unsigned char>(c);
        hash *= 0x100000001b3u;
    }
    return hash;
}

// value as fixed-width lower-case hexadecimal digits.
std::string hexDigits(std::uint64_t value, int digits) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string out(static_cast<std::size_t>(digits), '0');
    for (int i = digits - 1; i >= 0; --i, value >>= 4) out[static_cast<std::size_t>(i)] = kDigits[value & 0xF];
    return out;
}

}  // namespace

SemaphoreDirectories defaultSemaphoreDirectories() {
    SemaphoreDirectories directories;
    directories.global = "/tmp/zendra-semaphores";
    directories.local = userRuntimeDirectory();
    return directories;
}

SemaphoreLocation semaphoreLocation(const std::string& name) {
    SemaphoreLocation location;
    std::string_view rest = name;
    if (rest.substr(0, kGlobalPrefix.size()) == kGlobalPrefix) {
        location.global = true;
        rest.remove_prefix(kGlobalPrefix.size());
    } else if (rest.substr(0, kLocalPrefix.size()) == kLocalPrefix) {
        rest.remove_prefix(kLocalPrefix.size());
    }
    for (char c : rest) {
        if (keptAsIs(c)) {
            location.stem.push_back(c);
        } else {
            location.stem += "%" + hexDigits(static_cast<unsigned char>(c), 2);
        }
    }
    if (location.stem.size() > kMaxStem) {
        location.stem.resize(kMaxStem - 18);
        location.stem += "%h" + hexDigits(nameHash(name), 16);
    }
    return location;
}

PosixSynchronization::PosixSynchronization(SemaphoreDirectories directories) : directories_(std::move(directories)) {}

SemaphoreOpening PosixSynchronization::createSemaphore(const std::string& name, std::int32_t initialCount,
                                                       std::int32_t maximumCount) {
    SemaphoreOpening opening;
    // The launchers only ever ask for a binary semaphore that starts free.
    if (initialCount != 1 || maximumCount != 1) {
        opening.status = EINVAL;
        return opening;
    }
    const SemaphoreLocation location = semaphoreLocation(name);
    const std::string& dir = location.global ? directories_.global : directories_.local;
    int error = prepareDirectory(dir, location.global);
    const std::string stem = dir + "/" + location.stem;
    UniqueFd gate;
    UniqueFd exists;
    UniqueFd count;
    if (error == 0) gate = openLockFile(stem + ".gate", location.global, error);
    if (error == 0) exists = openLockFile(stem + ".exists", location.global, error);
    if (error == 0) count = openLockFile(stem + ".count", location.global, error);
    if (error != 0) {
        opening.status = static_cast<std::uint32_t>(error);
        return opening;
    }
    opening.status = holdExistence(std::move(gate), exists.get(), error);
    if (error != 0) {
        opening.status = static_cast<std::uint32_t>(error);
        return opening;
    }
    opening.semaphore = std::make_unique<PosixSemaphore>(std::move(exists), std::move(count));
    return opening;
}

void PosixSynchronization::sleep(std::uint32_t milliseconds) { sleepMilliseconds(milliseconds); }

std::unique_ptr<File> PosixSynchronization::createNewFile(const std::string& path, std::uint32_t& error) {
    // Only this user reads what is handed over; a link in its place is never followed.
    UniqueFd fd(retryOnInterrupt(
        [&] { return ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600); }));
    if (!fd) {
        error = errno == EEXIST ? kErrorFileExists : static_cast<std::uint32_t>(errno);
        return nullptr;
    }
    error = 0;
    return std::make_unique<FdFile>(std::move(fd));
}

}  // namespace zendra::posix
