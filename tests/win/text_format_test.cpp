// printf-style formatting through the system C runtime gives the C99 text.
#include <gtest/gtest.h>

#include <cstdint>

#include "logger.h"

namespace zendra {
namespace {

TEST(TextFormat, SystemRuntimeGivesTheC99Text) {
    const long long big = -9000000000LL;
    const std::size_t size = 4294967296ULL;
    const std::intmax_t most = 123456789012LL;
    const std::ptrdiff_t apart = -5;
    const struct {
        std::string text;
        const char* expected;
    } cases[] = {
        {formatText("%lld|%llu", big, 18000000000ULL), "-9000000000|18000000000"},
        {formatText("%zu|%5zd|%jd|%td", size, static_cast<std::ptrdiff_t>(7), most, apart),
         "4294967296|    7|123456789012|-5"},
        {formatText("%hhd|%hu|%ld", static_cast<signed char>(-3), static_cast<unsigned short>(65535), 7L),
         "-3|65535|7"},
        {formatText("%-6s|%.*s|%c|%%|%08X", "ab", 2, "xyz", 'q', 0xBEEFu), "ab    |xy|q|%|0000BEEF"},
        {formatText("%.2f of %.2f MB (%d%%), %.1f bytes/ms", 0.17, 0.99, 17, 359.0),
         "0.17 of 0.99 MB (17%), 359.0 bytes/ms"},
        {formatText("%ls|%5.1f", L"wide", 0.5), "wide|  0.5"},
        {formatText("%s", std::string(3000, 'x').c_str()), nullptr},
    };
    for (const auto& c : cases) {
        if (c.expected == nullptr) {
            EXPECT_EQ(c.text, std::string(3000, 'x'));
        } else {
            EXPECT_EQ(c.text, c.expected);
        }
    }
}

}  // namespace
}  // namespace zendra
