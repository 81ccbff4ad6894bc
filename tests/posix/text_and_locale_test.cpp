#include <gtest/gtest.h>

#include "posix_environment.h"
#include "posix_locale.h"
#include "posix_test_support.h"
#include "posix_text_codec.h"
#include "posix_user_interface.h"

namespace zendra::posix {
namespace {

using test::ScopedEnv;

TEST(TextCodec, RoundTripsEveryPlaneAsUtf8) {
    PosixTextCodec codec;
    const char16_t units[] = u"A\u00E9\u20AC\U0001F600\U0010FFFF\u0000z";
    const std::u16string withNul(units, 9);
    const Narrowed narrow = codec.toAnsi(withNul);
    EXPECT_FALSE(narrow.usedDefault);
    EXPECT_EQ(narrow.text, std::string("A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80\xF4\x8F\xBF\xBF\0z", 16));
    EXPECT_EQ(codec.fromAnsi(narrow.text), withNul);
    EXPECT_EQ(codec.fromFileCodePage(codec.toFileCodePage(withNul).text), withNul);
}

TEST(TextCodec, AnUnpairedSurrogateBecomesAQuestionMark) {
    PosixTextCodec codec;
    const Narrowed high = codec.toAnsi(std::u16string{u'a', char16_t(0xD83D), u'b'});
    EXPECT_TRUE(high.usedDefault);
    EXPECT_EQ(high.text, "a?b");
    const Narrowed low = codec.toFileCodePage(std::u16string{char16_t(0xDE00), char16_t(0xD83D)});
    EXPECT_TRUE(low.usedDefault);
    EXPECT_EQ(low.text, "??");
}

TEST(TextCodec, IllFormedUtf8BecomesReplacementCharacters) {
    PosixTextCodec codec;
    EXPECT_EQ(codec.fromAnsi("a\xFF" "b"), u"a\uFFFDb");
    EXPECT_EQ(codec.fromAnsi("\xC0\xAF"), u"\uFFFD\uFFFD");             // overlong "/"
    EXPECT_EQ(codec.fromAnsi("\xED\xA0\x80"), u"\uFFFD\uFFFD\uFFFD");   // an encoded surrogate
    EXPECT_EQ(codec.fromAnsi("\xF4\x90\x80\x80"), u"\uFFFD\uFFFD\uFFFD\uFFFD");  // above U+10FFFF
    EXPECT_EQ(codec.fromAnsi("\xE2\x82"), u"\uFFFD");                   // cut short
    EXPECT_EQ(codec.fromAnsi("\xE2\x82z"), u"\uFFFDz");
}

TEST(Locale, MapsLocaleNamesToTableIdentifiers) {
    EXPECT_EQ(languageIdForLocale("de_AT.UTF-8"), 0x0C07);
    EXPECT_EQ(languageIdForLocale("de_DE@euro"), 0x0407);
    EXPECT_EQ(languageIdForLocale("de_XX.UTF-8"), 7);  // unknown country: the language's row
    EXPECT_EQ(languageIdForLocale("pt_BR"), 1046);
    EXPECT_EQ(languageIdForLocale("he_IL.UTF-8"), 1037);
    EXPECT_EQ(languageIdForLocale("nn_NO"), 2068);
    EXPECT_EQ(languageIdForLocale("ja"), 17);
    for (const char* english : {"", "C", "POSIX", "C.UTF-8", "xx_YY"}) EXPECT_EQ(languageIdForLocale(english), 0x0409) << english;
}

TEST(Locale, MessagesLocaleTakesTheFirstNonEmptyVariable) {
    std::map<std::string, std::string> vars{{"LANG", "de_DE"}, {"LC_ALL", ""}};
    auto get = [&](const char* name) -> std::optional<std::string> {
        auto it = vars.find(name);
        if (it == vars.end()) return std::nullopt;
        return it->second;
    };
    EXPECT_EQ(messagesLocale(get), "de_DE");
    vars["LC_MESSAGES"] = "fr_FR";
    EXPECT_EQ(messagesLocale(get), "fr_FR");
    vars["LC_ALL"] = "it_IT";
    EXPECT_EQ(messagesLocale(get), "it_IT");
    vars.clear();
    EXPECT_EQ(messagesLocale(get), "");
}

TEST(Environment, SetGetRemoveAndTheRuntimeCopy) {
    PosixEnvironment env;
    ScopedEnv guard("ZENDRA_POSIX_TEST", std::nullopt);
    std::uint32_t error = 0;
    EXPECT_FALSE(env.get("ZENDRA_POSIX_TEST"));
    EXPECT_TRUE(env.set("ZENDRA_POSIX_TEST", std::string("a=b"), error));
    EXPECT_EQ(env.get("ZENDRA_POSIX_TEST"), "a=b");
    bool listed = false;
    for (const auto& [name, value] : env.block()) listed = listed || (name == "ZENDRA_POSIX_TEST" && value == "a=b");
    EXPECT_TRUE(listed);
    env.setRuntimeCopy("ZENDRA_POSIX_TEST=/lib:/usr/lib");
    EXPECT_EQ(env.get("ZENDRA_POSIX_TEST"), "/lib:/usr/lib");
    env.setRuntimeCopy("ZENDRA_POSIX_TEST=");
    EXPECT_FALSE(env.get("ZENDRA_POSIX_TEST"));
    EXPECT_FALSE(env.set("BAD=NAME", std::string("x"), error));
    EXPECT_EQ(error, static_cast<std::uint32_t>(EINVAL));
}

TEST(UserInterface, PromptAnswersAndBoxesOnStandardError) {
    EXPECT_EQ(answerFromLine(" y "), BoxAnswer::Yes);
    EXPECT_EQ(answerFromLine("YES"), BoxAnswer::Yes);
    EXPECT_EQ(answerFromLine(""), BoxAnswer::No);
    EXPECT_EQ(answerFromLine("yess"), BoxAnswer::No);

    test::TempDir dir;
    const std::string errors = dir / "stderr";
    EXPECT_EQ(test::inChild([&] {
                  // Standard input is not a terminal here: questions are answered No.
                  std::freopen("/dev/null", "r", stdin);
                  std::freopen(errors.c_str(), "w", stderr);
                  PosixUserInterface ui;
                  int result = ui.messageBox(nullptr, "No runtime", "App", BoxStyle::ErrorOk) == BoxAnswer::Ok ? 0 : 1;
                  if (ui.messageBoxW(nullptr, u"Open \u00E9?", u"", BoxStyle::QuestionYesNo) != BoxAnswer::No) result |= 2;
                  ui.writeStderrW(u"\U0001F600\n");
                  return result;
              }),
              0);
    EXPECT_EQ(test::readFile(errors), "App: No runtime\nOpen \xC3\xA9?\n\xF0\x9F\x98\x80\n");
}

}  // namespace
}  // namespace zendra::posix
