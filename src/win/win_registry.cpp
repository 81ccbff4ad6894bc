#include "win_registry.h"

#include <limits>

#include "handles.h"

namespace zendra::win {

namespace {

// The predefined key of a hive.
HKEY rootKey(Hive hive) {
    return hive == Hive::LocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
}

// Opens an existing key; an empty owner when it cannot be opened.
UniqueRegKey openKey(Hive hive, const std::string& key, REGSAM access) {
    HKEY opened = nullptr;
    if (::RegOpenKeyExA(rootKey(hive), key.c_str(), 0, access, &opened) != ERROR_SUCCESS) return {};
    return UniqueRegKey(opened);
}

// Names longer than this are not enumerated: far beyond the registry's own limits.
constexpr DWORD maxNameBytes = 1 << 20;

// Enumerates names with a RegEnumKeyExA-like call (index, buffer, in/out length in bytes
// without the terminator), growing the buffer when a name does not fit. Stops at the
// first index that fails for any reason other than a short buffer.
template <typename Call>
void enumerateNames(Call call) {
    std::string buffer(256, '\0');
    for (DWORD index = 0;;) {
        DWORD length = static_cast<DWORD>(buffer.size());
        const LSTATUS status = call(index, buffer.data(), length);
        if (status == ERROR_MORE_DATA && buffer.size() < maxNameBytes) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        if (status != ERROR_SUCCESS) return;
        ++index;
    }
}

// The FILETIME as one 64-bit count.
std::uint64_t fileTimeValue(const FILETIME& time) {
    return (static_cast<std::uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

}  // namespace

bool WinRegistry::keyExists(Hive hive, const std::string& key) {
    return openKey(hive, key, KEY_READ).valid();
}

std::optional<RegValue> WinRegistry::queryValue(Hive hive, const std::string& key, const std::string& name) {
    const UniqueRegKey opened = openKey(hive, key, KEY_READ);
    if (!opened) return std::nullopt;
    RegValue value;
    DWORD type = 0;
    DWORD size = 0;
    LSTATUS status = ::RegQueryValueExA(opened.get(), name.c_str(), nullptr, &type, nullptr, &size);
    // The value may grow between the calls, hence the loop.
    for (int attempt = 0; attempt < 4 && status == ERROR_SUCCESS; ++attempt) {
        value.data.resize(size);
        DWORD got = size;
        status = ::RegQueryValueExA(opened.get(), name.c_str(), nullptr, &type,
                                    value.data.empty() ? nullptr : value.data.data(), &got);
        if (status == ERROR_SUCCESS) {
            value.data.resize(got);
            value.type = type;
            return value;
        }
        if (status == ERROR_MORE_DATA) {
            size = got > size ? got : size * 2;
            status = ERROR_SUCCESS;
        }
    }
    return std::nullopt;
}

std::optional<std::vector<RegSubKey>> WinRegistry::subKeys(Hive hive, const std::string& key) {
    const UniqueRegKey opened = openKey(hive, key, KEY_READ);
    if (!opened) return std::nullopt;
    std::vector<RegSubKey> keys;
    enumerateNames([&](DWORD index, char* buffer, DWORD& length) {
        FILETIME written = {};
        const LSTATUS status =
            ::RegEnumKeyExA(opened.get(), index, buffer, &length, nullptr, nullptr, nullptr, &written);
        if (status == ERROR_SUCCESS) keys.push_back({std::string(buffer, length), fileTimeValue(written)});
        return status;
    });
    return keys;
}

std::optional<std::vector<std::string>> WinRegistry::valueNames(Hive hive, const std::string& key) {
    const UniqueRegKey opened = openKey(hive, key, KEY_READ);
    if (!opened) return std::nullopt;
    std::vector<std::string> names;
    enumerateNames([&](DWORD index, char* buffer, DWORD& length) {
        const LSTATUS status =
            ::RegEnumValueA(opened.get(), index, buffer, &length, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_SUCCESS) names.emplace_back(buffer, length);
        return status;
    });
    return names;
}

bool WinRegistry::createKey(Hive hive, const std::string& key) {
    HKEY created = nullptr;
    if (::RegCreateKeyExA(rootKey(hive), key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ, nullptr,
                          &created, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const UniqueRegKey opened(created);
    return true;
}

bool WinRegistry::setValue(Hive hive, const std::string& key, const std::string& name, RegType type,
                           const std::vector<std::uint8_t>& data) {
    if (data.size() > std::numeric_limits<DWORD>::max()) return false;
    HKEY created = nullptr;
    if (::RegCreateKeyExA(rootKey(hive), key.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_SET_VALUE, nullptr,
                          &created, nullptr) != ERROR_SUCCESS) {
        return false;
    }
    const UniqueRegKey opened(created);
    return ::RegSetValueExA(opened.get(), name.c_str(), 0, static_cast<DWORD>(type),
                            data.empty() ? nullptr : data.data(), static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

bool WinRegistry::deleteValue(Hive hive, const std::string& key, const std::string& name) {
    const UniqueRegKey opened = openKey(hive, key, KEY_SET_VALUE);
    if (!opened) return false;
    return ::RegDeleteValueA(opened.get(), name.c_str()) == ERROR_SUCCESS;
}

}  // namespace zendra::win
