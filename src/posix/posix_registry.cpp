#include "posix_registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <time.h>

#include <cerrno>
#include <cstdlib>

#include "posix_handles.h"
#include "posix_paths.h"

namespace zendra::posix {

namespace {

constexpr std::size_t kMaxStoreBytes = 64u << 20;  // a larger file is not a store

// What reading a store file found.
struct StoreText {
    bool present = false;  // a file was there and could be read
    std::string text;
};

// The whole file; absent when missing, unreadable or too large to be a store.
StoreText readStoreFile(const std::string& path) {
    StoreText result;
    UniqueFd fd(retryOnInterrupt([&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW); }));
    if (!fd) return result;
    char buffer[65536];
    for (;;) {
        const ssize_t got = retryOnInterrupt([&] { return ::read(fd.get(), buffer, sizeof(buffer)); });
        if (got < 0 || result.text.size() + static_cast<std::size_t>(got) > kMaxStoreBytes) return {};
        if (got == 0) break;
        result.text.append(buffer, static_cast<std::size_t>(got));
    }
    result.present = true;
    return result;
}

// The store a file's text holds; an empty store for no text or a damaged one.
KeyStore storeFrom(const StoreText& file, bool& damaged) {
    damaged = false;
    if (!file.present || file.text.empty()) return KeyStore();
    std::optional<KeyStore> parsed = KeyStore::parse(file.text);
    damaged = !parsed;
    return parsed ? std::move(*parsed) : KeyStore();
}

// Creates dir and its missing parents with mode; false when dir is not a directory then.
bool makeDirectories(const std::string& dir, mode_t mode) {
    for (std::size_t cut = dir.find('/', 1); ; cut = dir.find('/', cut + 1)) {
        const std::string prefix = dir.substr(0, cut);
        if (!prefix.empty() && ::mkdir(prefix.c_str(), mode) != 0 && errno != EEXIST) return false;
        if (cut == std::string::npos) break;
    }
    struct stat info {};
    return ::stat(dir.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Writes all of text to fd; false on any failure.
bool writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t wrote = retryOnInterrupt([&] { return ::write(fd, text.data() + done, text.size() - done); });
        if (wrote <= 0) return false;
        done += static_cast<std::size_t>(wrote);
    }
    return true;
}

// Replaces path with text atomically: a synced temporary file renamed over it.
bool replaceFile(const std::string& dir, const std::string& path, const std::string& text, mode_t mode) {
    std::string temporary = path + ".XXXXXX";
    UniqueFd fd(::mkostemp(temporary.data(), O_CLOEXEC));
    if (!fd) return false;
    const bool written = ::fchmod(fd.get(), mode) == 0 && writeAll(fd.get(), text) && ::fsync(fd.get()) == 0;
    fd.reset();
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    // The rename itself lasts once the directory is synced.
    UniqueFd directory(::open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory) ::fsync(directory.get());
    return true;
}

// The current time in FILETIME units.
std::uint64_t fileTimeNow() {
    timespec now {};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return fileTimeFrom(now);
}

// An environment variable's value when it is an absolute path.
std::optional<std::string> absoluteVariable(const char* name) {
    const char* value = std::getenv(name);
    if (value == nullptr || value[0] != '/') return std::nullopt;
    return std::string(value);
}

// $HOME when absolute, else the user database's home directory ("" when none is known).
std::string homeDirectory() {
    if (auto home = absoluteVariable("HOME")) return *home;
    const passwd* entry = ::getpwuid(::geteuid());
    return entry != nullptr && entry->pw_dir != nullptr ? std::string(entry->pw_dir) : std::string();
}

}  // namespace

StoreDirectories defaultStoreDirectories() {
    StoreDirectories directories;
    if (auto state = absoluteVariable("XDG_STATE_HOME")) {
        directories.user = *state + "/zendra";
    } else {
        directories.user = homeDirectory() + "/.local/state/zendra";
    }
    directories.machine = "/var/lib/zendra";
    return directories;
}

PosixRegistry::PosixRegistry(StoreDirectories directories) : directories_(std::move(directories)) {}

std::string PosixRegistry::storePath(Hive hive) const {
    return hive == Hive::LocalMachine ? directories_.machine + "/machine-store" : directories_.user + "/user-store";
}

KeyStore PosixRegistry::load(Hive hive) const {
    bool damaged = false;
    return storeFrom(readStoreFile(storePath(hive)), damaged);
}

bool PosixRegistry::modify(Hive hive, const std::function<bool(KeyStore&, std::uint64_t)>& change) {
    const bool shared = hive == Hive::LocalMachine;
    const std::string& dir = shared ? directories_.machine : directories_.user;
    const mode_t fileMode = shared ? 0644 : 0600;
    const std::string path = storePath(hive);
    if (!makeDirectories(dir, shared ? 0755 : 0700)) return false;
    const std::string lockPath = path + ".lock";
    UniqueFd lock(retryOnInterrupt(
        [&] { return ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, fileMode); }));
    if (!lock || retryOnInterrupt([&] { return ::flock(lock.get(), LOCK_EX); }) != 0) return false;
    const StoreText before = readStoreFile(path);
    bool damaged = false;
    KeyStore store = storeFrom(before, damaged);
    if (!change(store, fileTimeNow())) return false;
    const std::string after = store.serialize();
    if (before.present && !damaged && after == before.text) return true;
    if (damaged) ::rename(path.c_str(), (path + ".damaged").c_str());
    return replaceFile(dir, path, after, fileMode);
}

bool PosixRegistry::keyExists(Hive hive, const std::string& key) { return load(hive).find(key) != nullptr; }

std::optional<RegValue> PosixRegistry::queryValue(Hive hive, const std::string& key, const std::string& name) {
    const KeyStore store = load(hive);
    const StoredValue* value = store.findValue(key, name);
    if (value == nullptr) return std::nullopt;
    return value->value;
}

std::optional<std::vector<RegSubKey>> PosixRegistry::subKeys(Hive hive, const std::string& key) {
    return load(hive).subKeys(key);
}

std::optional<std::vector<std::string>> PosixRegistry::valueNames(Hive hive, const std::string& key) {
    const KeyStore store = load(hive);
    const StoredKey* stored = store.find(key);
    if (stored == nullptr) return std::nullopt;
    std::vector<std::string> names;
    for (const auto& value : stored->values) names.push_back(value.name);
    return names;
}

bool PosixRegistry::createKey(Hive hive, const std::string& key) {
    if (keyExists(hive, key)) return true;
    return modify(hive, [&](KeyStore& store, std::uint64_t now) {
        store.createKey(key, now);
        return true;
    });
}

bool PosixRegistry::setValue(Hive hive, const std::string& key, const std::string& name, RegType type,
                             const std::vector<std::uint8_t>& data) {
    return modify(hive, [&](KeyStore& store, std::uint64_t now) {
        store.setValue(key, name, RegValue{static_cast<std::uint32_t>(type), data}, now);
        return true;
    });
}

bool PosixRegistry::deleteValue(Hive hive, const std::string& key, const std::string& name) {
    return modify(hive, [&](KeyStore& store, std::uint64_t now) { return store.deleteValue(key, name, now); });
}

}  // namespace zendra::posix
