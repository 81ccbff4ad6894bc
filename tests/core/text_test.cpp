#include "text.h"

#include <gtest/gtest.h>

namespace zendra {
namespace {

TEST(Concat, JoinsPiecesInOrderEmptyOnesIncluded) {
    const char separator = '\\';
    const std::string dir = "c:\\Program Files\\App";
    EXPECT_EQ(concat({"", dir, std::string_view(&separator, 1), "", "jre"}), "c:\\Program Files\\App\\jre");
    std::string_view withNul("a\0b", 3);
    EXPECT_EQ(concat({withNul, "c"}), std::string("a\0bc", 4));
    EXPECT_EQ(concat({u"Ü", std::u16string_view(u"x"), u""}), u"Üx");
}

}  // namespace
}  // namespace zendra
