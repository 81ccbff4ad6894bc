// The registry through the 8-bit Win32 registry functions.
#pragma once

#include "platform.h"

namespace zendra::win {

// The Registry of the portable core. Each call opens its key (for reading, or for setting
// values), works and closes it again. No view flag is passed, so an x86 build sees the
// 32-bit view of the registry and an x64 build the 64-bit view.
class WinRegistry final : public Registry {
public:
    // RegOpenKeyExA with KEY_READ.
    bool keyExists(Hive hive, const std::string& key) override;
    // RegQueryValueExA, with a buffer that grows to the value's size.
    std::optional<RegValue> queryValue(Hive hive, const std::string& key, const std::string& name) override;
    // RegEnumKeyExA with each sub-key's last-write time.
    std::optional<std::vector<RegSubKey>> subKeys(Hive hive, const std::string& key) override;
    // RegEnumValueA.
    std::optional<std::vector<std::string>> valueNames(Hive hive, const std::string& key) override;
    // RegCreateKeyExA (creating missing keys).
    bool createKey(Hive hive, const std::string& key) override;
    // RegCreateKeyExA (creating missing keys) and RegSetValueExA.
    bool setValue(Hive hive, const std::string& key, const std::string& name, RegType type,
                  const std::vector<std::uint8_t>& data) override;
    // RegDeleteValueA.
    bool deleteValue(Hive hive, const std::string& key, const std::string& name) override;
};

}  // namespace zendra::win
