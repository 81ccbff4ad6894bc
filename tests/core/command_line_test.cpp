#include "command_line.h"

#include <gtest/gtest.h>

#include "fake_platform.h"

namespace zendra {
namespace {

ArgumentList split(std::u16string_view text) {
    ArgumentList out;
    splitCommandLine(text, out);
    return out;
}

TEST(SplitCommandLine, SpacesSeparateAndRunsOfSpacesGiveNoEmptyTokens) {
    EXPECT_EQ(split(u"app.exe"), (ArgumentList{u"app.exe"}));
    EXPECT_EQ(split(u"  a  b   c  "), (ArgumentList{u"a", u"b", u"c"}));
    EXPECT_EQ(split(u""), ArgumentList{});
}

TEST(SplitCommandLine, UnquotedPathWithSpaceSplits) {
    EXPECT_EQ(split(u"C:\\Program Files\\x.exe"), (ArgumentList{u"C:\\Program", u"Files\\x.exe"}));
}

TEST(SplitCommandLine, QuotesGroupAndAnEmptyPairIsOneEmptyToken) {
    EXPECT_EQ(split(u"\"C:\\Program Files\\x.exe\" a"), (ArgumentList{u"C:\\Program Files\\x.exe", u"a"}));
    EXPECT_EQ(split(u"a \"\" b"), (ArgumentList{u"a", u"", u"b"}));
    EXPECT_EQ(split(u"a ''"), (ArgumentList{u"a", u""}));
}

TEST(SplitCommandLine, TextBeforeAQuoteJoinsTextAfterItStartsANewToken) {
    EXPECT_EQ(split(u"-Dx=\"a b\""), (ArgumentList{u"-Dx=a b"}));
    EXPECT_EQ(split(u"\"a\"b"), (ArgumentList{u"a", u"b"}));
    EXPECT_EQ(split(u"x'a b'y z"), (ArgumentList{u"xa b", u"y", u"z"}));
}

TEST(SplitCommandLine, OtherQuoteIsPlainInsideAQuotedSegment) {
    EXPECT_EQ(split(u"\"it's\" 'say \"hi\"'"), (ArgumentList{u"it's", u"say \"hi\""}));
}

TEST(SplitCommandLine, UnterminatedQuoteRunsToTheEnd) {
    EXPECT_EQ(split(u"'abc"), (ArgumentList{u"abc"}));
    EXPECT_EQ(split(u"a \"b c"), (ArgumentList{u"a", u"b c"}));
}

TEST(SplitCommandLine, TabsAndBackslashesAreOrdinaryCharacters) {
    EXPECT_EQ(split(u"a\tb c\\\"d e\""), (ArgumentList{u"a\tb", u"c\\d e"}));
}

TEST(SplitCommandLine, AppendsToAnExistingList) {
    ArgumentList list{u"first"};
    splitCommandLine(u"second", list);
    EXPECT_EQ(list, (ArgumentList{u"first", u"second"}));
}

TEST(SplitNarrowCommandLine, ConvertsThroughTheCodePage) {
    test::FakeCodec codec;
    std::vector<std::string> out;
    splitNarrowCommandLine("-Xmx64m \"-Dname=\xe9t\xe9 x\"", out, codec);
    EXPECT_EQ(out, (std::vector<std::string>{"-Xmx64m", "-Dname=\xe9t\xe9 x"}));
    std::vector<std::string> wide;
    splitCommandLineNarrow(u"a \u4e2d", wide, codec);
    EXPECT_EQ(wide, (std::vector<std::string>{"a", "?"}));
}

}  // namespace
TEST(JoinCommandLine, SplitsBackIntoTheSameArguments) {
    const ArgumentList arguments = {u"prog", u"plain", u"", u"with space", u"it's", u"say \"hi\"",
                                    u"tab\there", u"back\\slash\\", u"  lead", u"trail  ", u"\u00e9\u4e2d"};
    const std::u16string text = joinCommandLine(arguments);
    ArgumentList back;
    splitCommandLine(text, back);
    EXPECT_EQ(back, arguments);
}

TEST(JoinCommandLine, QuotesOnlyWhatNeedsIt) {
    EXPECT_EQ(joinCommandLine({u"a", u"b c", u""}), u"a \"b c\" \"\"");
    EXPECT_EQ(joinCommandLine({}), u"");
}

}  // namespace zendra
