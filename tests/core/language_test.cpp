#include "language.h"

#include <gtest/gtest.h>

#include <set>

namespace zendra {
namespace {

// Collects log lines.
class Lines final : public Logger {
public:
    void write(bool, const std::string& text) override { lines.push_back(text); }
    std::vector<std::string> lines;
};

TEST(LanguageTable, HasUniqueIdsAndTheDocumentedShape) {
    auto table = languageTable();
    EXPECT_EQ(table.size(), 215u);
    std::set<std::uint16_t> ids;
    int primary = 0;
    for (const auto& row : table) {
        ids.insert(row.id);
        if (row.id < 1024) ++primary;
    }
    EXPECT_EQ(ids.size(), table.size());
    EXPECT_EQ(primary, 71);
}

TEST(LanguageCodeFor, ExactRowsThenPrimaryLanguageThenEnglish) {
    EXPECT_EQ(languageCodeFor(3079), "de_AT");
    EXPECT_EQ(languageCodeFor(1050), "hr_HR");
    EXPECT_EQ(languageCodeFor(26), "sr");
    EXPECT_EQ(languageCodeFor(2068), "no_NO_NY");
    EXPECT_EQ(languageCodeFor(9225), "en");
    EXPECT_EQ(languageCodeFor(21514), "es");   // sub-language not in the table
    EXPECT_EQ(languageCodeFor(1037), "iw_IL");
    EXPECT_EQ(languageCodeFor(0x0400 | 0x7F), "en");  // unknown primary language
    EXPECT_EQ(languageCodeFor(0), "en");
}

TEST(MakeSelection, CountryOnlyForFiveCharacterCodes) {
    auto at = makeSelection("de_AT");
    EXPECT_EQ(at.language, "de");
    EXPECT_EQ(at.country, "AT");
    auto ny = makeSelection("no_NO_NY");
    EXPECT_EQ(ny.language, "no");
    EXPECT_FALSE(ny.country.has_value());
    EXPECT_FALSE(makeSelection("xh").country.has_value());
}

TEST(SelectLanguage, UsesTheLocaleWithoutArgumentsAndLogsNoFlag) {
    Lines log;
    auto sel = selectLanguage(nullptr, {3079, 1033}, log);
    EXPECT_EQ(sel.code, "de_AT");
    EXPECT_EQ(log.lines, (std::vector<std::string>{"language/country is de_AT"}));
}

TEST(SelectLanguage, FormatAsDefaultFalseSwitchesToTheUiLanguage) {
    Lines log;
    ArgumentList args{u"app.exe", u"-Dsun.locale.formatasdefault=false"};
    auto sel = selectLanguage(&args, {2055, 1033}, log);
    EXPECT_EQ(sel.code, "en_US");
    EXPECT_EQ(log.lines.front(), "sun.locale.formatasdefault is false");
}

TEST(SelectLanguage, LastFormatTokenDecidesAndMissingUiCallKeepsLocale) {
    Lines log;
    ArgumentList args{u"app.exe", u"-Dsun.locale.formatasdefault=no", u"-Dsun.locale.formatasdefault=true"};
    EXPECT_EQ(selectLanguage(&args, {2055, 1033}, log).code, "de_CH");
    ArgumentList none{u"app.exe", u"-Dother=false"};
    EXPECT_EQ(selectLanguage(&none, {2055, 1033}, log).code, "de_CH");
    ArgumentList off{u"-Dsun.locale.formatasdefault=x"};
    EXPECT_EQ(selectLanguage(&off, {2055, std::nullopt}, log).code, "de_CH");
    EXPECT_EQ(selectLanguage(&off, {0x10000u | 3079u, 1041}, log).code, "ja_JP");
}

TEST(LocaleVmOptions, AddsLanguageOptionsUnlessFormatAsDefaultIsTrue) {
    auto sel = makeSelection("en_US");
    EXPECT_EQ(localeVmOptions({"a.exe", "-Dsun.locale.formatasdefault=false"}, sel),
              (std::vector<std::string>{"-Dsun.locale.formatasdefault=false", "-Duser.language=en",
                                        "-Duser.country=US"}));
    EXPECT_EQ(localeVmOptions({"-Dsun.locale.formatasdefault=false", "-Dsun.locale.formatasdefault=true"}, sel),
              (std::vector<std::string>{"-Dsun.locale.formatasdefault=true"}));
    EXPECT_TRUE(localeVmOptions({"a.exe", "x"}, sel).empty());
    EXPECT_EQ(localeVmOptions({"-Dsun.locale.formatasdefault=0"}, makeSelection("no_NO_NY")),
              (std::vector<std::string>{"-Dsun.locale.formatasdefault=0", "-Duser.language=no"}));
}

}  // namespace
}  // namespace zendra
