// Environment and clock services of the Windows layer.
#include <gtest/gtest.h>

#include "win32.h"
#include "win_clock.h"
#include "win_environment.h"

namespace zendra::win {
namespace {

TEST(Environment, SetGetAndRemove) {
    WinEnvironment env;
    const std::string name = "ZENDRA_WIN_TEST_VARIABLE";
    EXPECT_FALSE(env.get(name).has_value());
    ASSERT_TRUE(env.set(name, std::string("some value")));
    EXPECT_EQ(env.get(name), std::optional<std::string>("some value"));
    ASSERT_TRUE(env.set(name, std::nullopt));
    EXPECT_FALSE(env.get(name).has_value());
}

TEST(Environment, EmptyValueIsNotMissing) {
    WinEnvironment env;
    ASSERT_TRUE(env.set("ZENDRA_WIN_TEST_EMPTY", std::string()));
    EXPECT_EQ(env.get("ZENDRA_WIN_TEST_EMPTY"), std::optional<std::string>(""));
    env.set("ZENDRA_WIN_TEST_EMPTY", std::nullopt);
}

TEST(Environment, LongValuesAreComplete) {
    WinEnvironment env;
    std::string value;
    for (int i = 0; i < 1000; ++i) value += static_cast<char>('a' + i % 26);
    ASSERT_TRUE(env.set("ZENDRA_WIN_TEST_LONG", value));
    EXPECT_EQ(env.get("ZENDRA_WIN_TEST_LONG"), std::optional<std::string>(value));
    env.set("ZENDRA_WIN_TEST_LONG", std::nullopt);
}

TEST(Environment, SeesInheritedVariables) {
    WinEnvironment env;
    const auto path = env.get("PATH");
    ASSERT_TRUE(path.has_value());
    EXPECT_FALSE(path->empty());
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
