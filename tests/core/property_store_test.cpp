#include "property_store.h"

#include <gtest/gtest.h>

#include "property_ids.h"
#include "record.h"

namespace zendra {
namespace {

TEST(ParseDecimal, FollowsStrtolRules) {
    EXPECT_EQ(parseDecimal("12abc"), 12);
    EXPECT_EQ(parseDecimal("abc"), 0);
    EXPECT_EQ(parseDecimal("-1"), -1);
    EXPECT_EQ(parseDecimal(""), 0);
    EXPECT_EQ(parseDecimal(" \t\n+42"), 42);
    EXPECT_EQ(parseDecimal("- 5"), 0);
    EXPECT_EQ(parseDecimal("0x10"), 0);
}

TEST(ParseDecimal, SaturatesAtThe32BitLimits) {
    EXPECT_EQ(parseDecimal("2147483647"), 2147483647);
    EXPECT_EQ(parseDecimal("2147483648"), 2147483647);
    EXPECT_EQ(parseDecimal("99999999999999999999"), 2147483647);
    EXPECT_EQ(parseDecimal("-2147483648"), -2147483647 - 1);
    EXPECT_EQ(parseDecimal("-99999999999999999999"), -2147483647 - 1);
}

TEST(PropertyStore, AbsentPropertiesReadAsEmptyAndZero) {
    PropertyStore store;
    EXPECT_EQ(store.getProperty(prop::launcherType), "");
    EXPECT_EQ(store.getMessage(prop::msgCaption), u"");
    EXPECT_EQ(store.getIntProperty(prop::launcherType), 0);
    EXPECT_EQ(store.getColorProperty(prop::statusColor), 0u);
}

TEST(PropertyStore, StringAndMessageIdsAreSeparateAndLaterValuesWin) {
    PropertyStore store;
    store.setProperty(101, "first");
    store.setProperty(101, "second");
    store.setMessage(101, u"message");
    EXPECT_EQ(store.getProperty(101), "second");
    EXPECT_EQ(store.getMessage(101), u"message");
}

TEST(PropertyStore, ColoursAreRedGreenBlueAsWindowsColourValues) {
    PropertyStore store;
    store.setProperty(1, "255,128,0");
    store.setProperty(2, "255,0,0");
    store.setProperty(3, "1,2");
    store.setProperty(4, "256, 257 ,-1");
    store.setProperty(5, "10,20,30,40");
    EXPECT_EQ(store.getColorProperty(1), 0x000080FFu);
    EXPECT_EQ(store.getColorProperty(2), 0x000000FFu);
    EXPECT_EQ(store.getColorProperty(3), 0x00000201u);
    EXPECT_EQ(store.getColorProperty(4), 0x00FF0100u);
    EXPECT_EQ(store.getColorProperty(5), 0x001E140Au);
}

TEST(PropertyStore, LanguageBlocksApplyWhenTheirKeyPrefixesTheCodeLaterWinning) {
    std::vector<LanguageBlock> blocks = {
        {"de", {{1, u"de-1"}, {2, u"de-2"}}},
        {"de_AT", {{1, u"at-1"}, {3, u"at-3"}}},
        {"fr", {{2, u"fr-2"}}},
    };
    PropertyStore at;
    at.setMessage(2, u"default-2");
    at.applyLanguageBlocks(blocks, "de_AT");
    EXPECT_EQ(at.getMessage(1), u"at-1");
    EXPECT_EQ(at.getMessage(2), u"de-2");
    EXPECT_EQ(at.getMessage(3), u"at-3");

    std::vector<LanguageBlock> reversed = {blocks[1], blocks[0]};
    PropertyStore at2;
    at2.applyLanguageBlocks(reversed, "de_AT");
    EXPECT_EQ(at2.getMessage(1), u"de-1");

    PropertyStore de;
    de.applyLanguageBlocks(blocks, "de");
    EXPECT_EQ(de.getMessage(1), u"de-1");
    EXPECT_EQ(de.getMessage(3), u"");
}

TEST(PropertyStore, EmptyKeyAppliesToEveryLanguage) {
    PropertyStore store;
    store.applyLanguageBlocks({{"", {{7, u"all"}}}}, "ja_JP");
    EXPECT_EQ(store.getMessage(7), u"all");
}

}  // namespace
}  // namespace zendra
