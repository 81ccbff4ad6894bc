// The per-user key-value store that stands in for the registry on Linux: the model and its text.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform.h"

namespace zendra::posix {

// One named value of a key.
struct StoredValue {
    std::string name;  // as first written
    RegValue value;
};

// One key: its path as created ("\\"-separated), its last write and its values in order.
struct StoredKey {
    std::string path;
    std::uint64_t lastWriteTime = 0;  // FILETIME units
    std::vector<StoredValue> values;
};

// A hive of keys. Key paths and value names compare without regard to ASCII case, as in
// the registry; empty path components are ignored. The root key ("") always exists, and
// every key's parents exist with it.
class KeyStore {
public:
    // A store holding only the root.
    KeyStore();

    // The key, or nullptr when it does not exist.
    const StoredKey* find(std::string_view key) const;
    // A value of the key, or nullptr when the key or the value is missing.
    const StoredValue* findValue(std::string_view key, std::string_view name) const;
    // Creates the key and its missing parents; a new key's parent counts as written.
    void createKey(std::string_view key, std::uint64_t now);
    // Creates the key when missing and sets the value (keeping the name's first spelling).
    void setValue(std::string_view key, const std::string& name, const RegValue& value, std::uint64_t now);
    // Deletes a value; false when the key or the value is missing.
    bool deleteValue(std::string_view key, const std::string& name, std::uint64_t now);
    // The direct sub-keys in case-insensitive name order; nullopt when the key is missing.
    std::optional<std::vector<RegSubKey>> subKeys(std::string_view key) const;

    // The store as text (see posix_key_store.cpp for the format).
    std::string serialize() const;
    // A store from its text; nullopt when the text is damaged in any way.
    static std::optional<KeyStore> parse(std::string_view text);

private:
    // Adds the key with this spelling when missing, and its parents; the added key.
    StoredKey& ensure(const std::vector<std::string_view>& parts, std::uint64_t now, bool touchParent);
    // Replaces the value of that name (keeping the name's first spelling) or appends it.
    static void putValue(StoredKey& key, StoredValue value);

    std::map<std::string, StoredKey> keys_;  // by folded path
};

}  // namespace zendra::posix
