// Environment and clock services of the Windows layer.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "win32.h"
#include "win_clock.h"
#include "win_environment.h"

namespace zendra::win {
namespace {

class EnvironmentTest : public ::testing::Test {
protected:
    WinEnvironment env;
    std::uint32_t error = 12345;
};

TEST_F(EnvironmentTest, SetGetAndRemove) {
    const std::string name = "ZENDRA_WIN_TEST_VARIABLE";
    EXPECT_FALSE(env.get(name).has_value());
    ASSERT_TRUE(env.set(name, std::string("some value"), error));
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(env.get(name), std::optional<std::string>("some value"));
    error = 12345;
    ASSERT_TRUE(env.set(name, std::nullopt, error));
    EXPECT_EQ(error, 0u);
    EXPECT_FALSE(env.get(name).has_value());
}

TEST_F(EnvironmentTest, EmptyValueIsNotMissing) {
    ASSERT_TRUE(env.set("ZENDRA_WIN_TEST_EMPTY", std::string(), error));
    EXPECT_EQ(env.get("ZENDRA_WIN_TEST_EMPTY"), std::optional<std::string>(""));
    env.set("ZENDRA_WIN_TEST_EMPTY", std::nullopt, error);
}

TEST_F(EnvironmentTest, LongValuesAreComplete) {
    std::string value;
    for (int i = 0; i < 1000; ++i) value += static_cast<char>('a' + i % 26);
    ASSERT_TRUE(env.set("ZENDRA_WIN_TEST_LONG", value, error));
    EXPECT_EQ(env.get("ZENDRA_WIN_TEST_LONG"), std::optional<std::string>(value));
    env.set("ZENDRA_WIN_TEST_LONG", std::nullopt, error);
}

TEST_F(EnvironmentTest, InvalidNamesReportTheSystemError) {
    EXPECT_FALSE(env.set("ZENDRA=BAD", std::string("x"), error));
    EXPECT_EQ(error, static_cast<std::uint32_t>(ERROR_INVALID_PARAMETER));
    error = 0;
    EXPECT_FALSE(env.set("", std::string("x"), error));
    EXPECT_NE(error, 0u);
}

TEST_F(EnvironmentTest, SeesInheritedVariables) {
    const auto path = env.get("PATH");
    ASSERT_TRUE(path.has_value());
    EXPECT_FALSE(path->empty());
}

TEST_F(EnvironmentTest, BlockListsEveryVariableWithItsValue) {
    ASSERT_TRUE(env.set("ZENDRA_WIN_TEST_BLOCK", std::string("a=b c"), error));
    // A drive's current directory, as cmd.exe records it.
    ASSERT_TRUE(env.set("=Q:", std::string("Q:\\somewhere"), error)) << error;
    const auto block = env.block();
    env.set("ZENDRA_WIN_TEST_BLOCK", std::nullopt, error);
    env.set("=Q:", std::nullopt, error);
    const auto mine = std::find_if(block.begin(), block.end(),
                                   [](const auto& entry) { return entry.first == "ZENDRA_WIN_TEST_BLOCK"; });
    ASSERT_NE(mine, block.end());
    EXPECT_EQ(mine->second, "a=b c");
    // The drives' "=C:=C:\..." entries are left out; the rest agrees with get().
    for (const auto& [name, value] : block) {
        ASSERT_FALSE(name.empty());
        EXPECT_NE(name.front(), '=');
        if (name != "ZENDRA_WIN_TEST_BLOCK") {
            EXPECT_EQ(env.get(name), std::optional<std::string>(value)) << name;
        }
    }
}

TEST_F(EnvironmentTest, RuntimeCopyIsWhatGetenvReads) {
    // The Win32 block alone does not reach the C runtime's copy.
    ASSERT_TRUE(env.set("ZENDRA_WIN_TEST_BLOCK_ONLY", std::string("1"), error));
    EXPECT_EQ(std::getenv("ZENDRA_WIN_TEST_BLOCK_ONLY"), nullptr);
    env.set("ZENDRA_WIN_TEST_BLOCK_ONLY", std::nullopt, error);

    env.setRuntimeCopy("ZENDRA_WIN_TEST_RUNTIME=x y=z");
    const char* value = std::getenv("ZENDRA_WIN_TEST_RUNTIME");
    ASSERT_NE(value, nullptr);
    EXPECT_STREQ(value, "x y=z");
    // An empty assignment removes the variable again.
    env.setRuntimeCopy("ZENDRA_WIN_TEST_RUNTIME=");
    EXPECT_EQ(std::getenv("ZENDRA_WIN_TEST_RUNTIME"), nullptr);
}

TEST(Clock, AgreesWithSystemTime) {
    FILETIME now;
    ::GetSystemTimeAsFileTime(&now);
    const std::uint64_t ticks = (static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    const std::int64_t unixSeconds = static_cast<std::int64_t>(ticks / 10000000u) - 11644473600;
    EXPECT_NEAR(static_cast<double>(WinClock().now()), static_cast<double>(unixSeconds), 2.0);
}

}  // namespace
}  // namespace zendra::win
