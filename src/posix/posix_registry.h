// The registry of the Linux edition: one key-value store file per hive.
#pragma once

#include <functional>
#include <string>

#include "platform.h"
#include "posix_key_store.h"

namespace zendra::posix {

// Where the store files of the two hives live.
struct StoreDirectories {
    std::string user;     // CurrentUser: "user-store", private to the user (0700 / 0600)
    std::string machine;  // LocalMachine: "machine-store", readable by all (0755 / 0644)
};

// $XDG_STATE_HOME/zendra (absolute only) else $HOME/.local/state/zendra, and /var/lib/zendra.
StoreDirectories defaultStoreDirectories();

// The Registry of the portable core on Linux (see posix_key_store.h for the model and the
// file's text). Reads take the file as it is: writers replace it atomically. Every write is
// a read-modify-write under an exclusive flock on "<store>.lock" beside it: the new text
// goes to a temporary file in the same directory, is synced and renamed over the store.
// Missing directories are created. A damaged or unreadable file reads as empty; the first
// write after that moves a damaged file aside to "<store>.damaged" before replacing it.
// Writing to the machine store needs the rights to its directory; without them writes fail.
class PosixRegistry final : public Registry {
public:
    // Stores in the given directories.
    explicit PosixRegistry(StoreDirectories directories = defaultStoreDirectories());

    // Whether the key exists.
    bool keyExists(Hive hive, const std::string& key) override;
    // A value; nullopt when the key or the value is missing.
    std::optional<RegValue> queryValue(Hive hive, const std::string& key, const std::string& name) override;
    // The direct sub-keys in case-insensitive name order; nullopt when the key is missing.
    std::optional<std::vector<RegSubKey>> subKeys(Hive hive, const std::string& key) override;
    // The value names in the order they were first set; nullopt when the key is missing.
    std::optional<std::vector<std::string>> valueNames(Hive hive, const std::string& key) override;
    // Creates the key and missing parents; true at once when it exists.
    bool createKey(Hive hive, const std::string& key) override;
    // Creates the key when missing and sets the value.
    bool setValue(Hive hive, const std::string& key, const std::string& name, RegType type,
                  const std::vector<std::uint8_t>& data) override;
    // Deletes a value; false when it is missing or the store cannot be written.
    bool deleteValue(Hive hive, const std::string& key, const std::string& name) override;

private:
    // The store's file, or where it would be.
    std::string storePath(Hive hive) const;
    // The store as it is now (empty when missing, damaged or unreadable).
    KeyStore load(Hive hive) const;
    // Applies change to the current store under the lock and writes the result back;
    // false when change returns false or the store cannot be written.
    bool modify(Hive hive, const std::function<bool(KeyStore&, std::uint64_t)>& change);

    StoreDirectories directories_;
};

}  // namespace zendra::posix
