// Code-page conversions against the real system code pages.
#include <gtest/gtest.h>

#include "text_codec.h"
#include "win32.h"

namespace zendra::win {
namespace {

TEST(TextCodec, AnsiRoundTripKeepsCodePageText) {
    WinTextCodec codec;
    const std::u16string text = u"C:\\Gr\u00fc\u00dfe\\caf\u00e9 1.txt";
    const Narrowed narrow = codec.toAnsi(text);
    EXPECT_FALSE(narrow.usedDefault);
    if (::GetACP() == 1252) {
        EXPECT_EQ(narrow.text, "C:\\Gr\xfc\xdf" "e\\caf\xe9 1.txt");
    }
    EXPECT_EQ(codec.fromAnsi(narrow.text), text);
}

TEST(TextCodec, CharacterOutsideCodePageBecomesQuestionMark) {
    WinTextCodec codec;
    const Narrowed narrow = codec.toAnsi(u"a\u4e2d\u6587b");
    EXPECT_TRUE(narrow.usedDefault);
    EXPECT_EQ(narrow.text, "a??b");
}

TEST(TextCodec, NoBestFitSubstitution) {
    // A best-fit mapping would turn a-macron into a plain "a" and hide the loss.
    if (::GetACP() != 1252) GTEST_SKIP() << "needs ANSI code page 1252, have " << ::GetACP();
    WinTextCodec codec;
    const Narrowed narrow = codec.toAnsi(u"\u0101.txt");
    EXPECT_TRUE(narrow.usedDefault);
    EXPECT_EQ(narrow.text, "?.txt");
}

TEST(TextCodec, EmptyTextStaysEmpty) {
    WinTextCodec codec;
    EXPECT_EQ(codec.toAnsi(u"").text, "");
    EXPECT_FALSE(codec.toAnsi(u"").usedDefault);
    EXPECT_EQ(codec.fromAnsi(""), u"");
    EXPECT_EQ(codec.toFileCodePage(u"").text, "");
}

TEST(TextCodec, FileCodePageFollowsFileApiSetting) {
    WinTextCodec codec;
    const std::u16string text = u"\u00e4\u00f6\u00fc";
    EXPECT_EQ(codec.toFileCodePage(text).text, codec.toAnsi(text).text);
    ::SetFileApisToOEM();
    const Narrowed oem = codec.toFileCodePage(text);
    const std::u16string back = codec.fromFileCodePage(oem.text);
    ::SetFileApisToANSI();
    EXPECT_EQ(oem.text, narrowText(CP_OEMCP, text).text);
    EXPECT_EQ(back, widenText(CP_OEMCP, oem.text));
    if (::GetOEMCP() == 437) {
        EXPECT_EQ(oem.text, "\x84\x94\x81");
    }
}

TEST(TextCodec, Utf8NeverReportsDefault) {
    const Narrowed narrow = narrowText(CP_UTF8, u"\u4e2d\U0001F600");
    EXPECT_FALSE(narrow.usedDefault);
    EXPECT_EQ(narrow.text, "\xe4\xb8\xad\xf0\x9f\x98\x80");
    EXPECT_EQ(widenText(CP_UTF8, narrow.text), u"\u4e2d\U0001F600");
}

}  // namespace
}  // namespace zendra::win
