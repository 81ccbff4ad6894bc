// The registry service against Wine's registry, under a private key in HKCU.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "win32.h"
#include "win_registry.h"

namespace zendra::win {
namespace {

// Bytes of a string, its terminator included when asked.
std::vector<std::uint8_t> bytes(const std::string& text, bool terminated = true) {
    std::vector<std::uint8_t> data(text.begin(), text.end());
    if (terminated) data.push_back(0);
    return data;
}

// The names of sub-keys, sorted.
std::vector<std::string> sortedNames(const std::vector<RegSubKey>& keys) {
    std::vector<std::string> names;
    for (const RegSubKey& key : keys) names.push_back(key.name);
    std::sort(names.begin(), names.end());
    return names;
}

// Each test works below its own key in HKCU, removed with everything below it afterwards.
class RegistryTest : public ::testing::Test {
protected:
    void TearDown() override {
        ::RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
        ::RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\zendra-tests");
    }

    WinRegistry registry;
    const std::string key = "Software\\zendra-tests\\" + std::to_string(::GetCurrentProcessId()) + "-" +
                            std::to_string(::GetTickCount64());
};

TEST_F(RegistryTest, SetCreatesMissingKeysAndQueryGivesTypeAndBytes) {
    const std::string deep = key + "\\a\\b";
    ASSERT_TRUE(registry.setValue(Hive::CurrentUser, deep, "text", RegType::String, bytes("hello")));
    ASSERT_TRUE(registry.setValue(Hive::CurrentUser, deep, "number", RegType::Dword, {0x78, 0x56, 0x34, 0x12}));
    ASSERT_TRUE(registry.setValue(Hive::CurrentUser, deep, "raw", RegType::Binary, {0, 1, 0, 2}));
    ASSERT_TRUE(registry.setValue(Hive::CurrentUser, deep, "", RegType::String, bytes("default")));
    EXPECT_TRUE(registry.keyExists(Hive::CurrentUser, key + "\\a"));

    const auto text = registry.queryValue(Hive::CurrentUser, deep, "text");
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(text->type, static_cast<std::uint32_t>(REG_SZ));
    EXPECT_EQ(text->data, bytes("hello"));
    const auto number = registry.queryValue(Hive::CurrentUser, deep, "number");
    ASSERT_TRUE(number.has_value());
    EXPECT_EQ(number->type, static_cast<std::uint32_t>(REG_DWORD));
    EXPECT_EQ(number->data, (std::vector<std::uint8_t>{0x78, 0x56, 0x34, 0x12}));
    const auto raw = registry.queryValue(Hive::CurrentUser, deep, "raw");
    ASSERT_TRUE(raw.has_value());
    EXPECT_EQ(raw->type, static_cast<std::uint32_t>(REG_BINARY));
    EXPECT_EQ(raw->data, (std::vector<std::uint8_t>{0, 1, 0, 2}));
    const auto unnamed = registry.queryValue(Hive::CurrentUser, deep, "");
    ASSERT_TRUE(unnamed.has_value());
    EXPECT_EQ(unnamed->data, bytes("default"));

    // Setting again replaces type and bytes.
    ASSERT_TRUE(registry.setValue(Hive::CurrentUser, deep, "text", RegType::Binary, {}));
    const auto replaced = registry.queryValue(Hive::CurrentUser, deep, "text");
    ASSERT_TRUE(replaced.has_value());
    EXPECT_EQ(replaced->type, static_cast<std::uint32_t>(REG_BINARY));
    EXPECT_TRUE(replaced->data.empty());
}

TEST_F(RegistryTest, MissingKeysAndValues) {
    EXPECT_FALSE(registry.keyExists(Hive::CurrentUser, key));
    EXPECT_FALSE(registry.queryValue(Hive::CurrentUser, key, "x").has_value());
    EXPECT_FALSE(registry.subKeys(Hive::CurrentUser, key).has_value());
    EXPECT_FALSE(registry.valueNames(Hive::CurrentUser, key).has_value());
    EXPECT_FALSE(registry.deleteValue(Hive::CurrentUser, key, "x"));

    ASSERT_TRUE(registry.setValue(Hive::CurrentUser, key, "present", RegType::Dword, {1, 0, 0, 0}));
    EXPECT_FALSE(registry.queryValue(Hive::CurrentUser, key, "absent").has_value());
    // The default value exists only once it is set.
    EXPECT_FALSE(registry.queryValue(Hive::CurrentUser, key, "").has_value());
    const auto none = registry.subKeys(Hive::CurrentUser, key);
    ASSERT_TRUE(none.has_value());
    EXPECT_TRUE(none->empty());
}

TEST_F(RegistryTest, SubKeysCarryNamesAndWriteTimes) {
    FILETIME before;
    ::GetSystemTimeAsFileTime(&before);
    const std::uint64_t start = (static_cast<std::uint64_t>(before.dwHighDateTime) << 32) | before.dwLowDateTime;
    const std::string longName(200, 'k');
    for (const std::string& name : {std::string("1.8"), std::string("17"), longName}) {
        ASSERT_TRUE(registry.setValue(Hive::CurrentUser, key + "\\" + name, "v", RegType::Dword, {1, 0, 0, 0}));
    }
    const auto keys = registry.subKeys(Hive::CurrentUser, key);
    ASSERT_TRUE(keys.has_value());
    EXPECT_EQ(sortedNames(*keys), (std::vector<std::string>{"1.8", "17", longName}));
    for (const RegSubKey& sub : *keys) {
        // Within a minute of the start (registry times may be coarser than the clock).
        EXPECT_GT(sub.lastWriteTime + 600000000u, start) << sub.name;
        EXPECT_LT(sub.lastWriteTime, start + 600000000u) << sub.name;
    }
}

TEST_F(RegistryTest, ValueNamesIncludeLongAndDefaultNames) {
    const std::string longName(1000, 'n');
    for (const std::string& name : {std::string("JavaHome"), std::string(), longName}) {
        ASSERT_TRUE(registry.setValue(Hive::CurrentUser, key, name, RegType::String, bytes("x")));
    }
    auto names = registry.valueNames(Hive::CurrentUser, key);
    ASSERT_TRUE(names.has_value());
    std::sort(names->begin(), names->end());
    EXPECT_EQ(*names, (std::vector<std::string>{"", "JavaHome", longName}));
}

TEST_F(RegistryTest, DeleteValueRemovesOnlyThatValue) {
    ASSERT_TRUE(registry.setValue(Hive::CurrentUser, key, "gone", RegType::String, bytes("1")));
    ASSERT_TRUE(registry.setValue(Hive::CurrentUser, key, "kept", RegType::String, bytes("2")));
    EXPECT_TRUE(registry.deleteValue(Hive::CurrentUser, key, "gone"));
    EXPECT_FALSE(registry.queryValue(Hive::CurrentUser, key, "gone").has_value());
    EXPECT_FALSE(registry.deleteValue(Hive::CurrentUser, key, "gone"));
    EXPECT_EQ(registry.valueNames(Hive::CurrentUser, key), std::optional<std::vector<std::string>>({"kept"}));
}

TEST_F(RegistryTest, LargeValuesComeBackWhole) {
    std::vector<std::uint8_t> big(300000);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 7 + i / 256);
    ASSERT_TRUE(registry.setValue(Hive::CurrentUser, key, "big", RegType::Binary, big));
    const auto value = registry.queryValue(Hive::CurrentUser, key, "big");
    ASSERT_TRUE(value.has_value());
    EXPECT_EQ(value->data, big);
}

TEST_F(RegistryTest, HivesAreDistinct) {
    EXPECT_TRUE(registry.keyExists(Hive::LocalMachine, "Software\\Microsoft\\Windows NT\\CurrentVersion"));
    EXPECT_TRUE(registry.queryValue(Hive::LocalMachine, "Software\\Microsoft\\Windows NT\\CurrentVersion",
                                    "CurrentVersion")
                    .has_value());
    ASSERT_TRUE(registry.setValue(Hive::CurrentUser, key, "only-user", RegType::Dword, {1, 0, 0, 0}));
    EXPECT_FALSE(registry.keyExists(Hive::LocalMachine, key));
    EXPECT_FALSE(registry.queryValue(Hive::LocalMachine, key, "only-user").has_value());
}

}  // namespace
}  // namespace zendra::win
