#include "pack_json.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "ansi_text.h"
#include "pack_dump.h"
#include "pack_test_support.h"

namespace zendra::pack {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using Strings = std::vector<std::pair<std::int32_t, std::string>>;
using Messages = std::vector<std::pair<std::int32_t, std::u16string>>;

Package parse(const std::string& json, std::vector<std::string>& notes,
              const std::filesystem::path& base = std::filesystem::path(".")) {
    return packageFromJson(json, base, notes);
}

Package parse(const std::string& json) {
    std::vector<std::string> notes;
    return parse(json, notes);
}

std::string refusal(const std::string& json) {
    try {
        parse(json);
    } catch (const PackError& e) {
        return e.what();
    }
    return "accepted";
}

TEST(PackJson, NamesAndIdsResolveAndKeepJsonOrder) {
    const Package p = parse(R"({"strings": {"launcherType": 1, "9999": "custom", "classPath": "A1a.jar", "-5": "x"},
                                "messages": {"msgCaption": "Setup", "107": "same id, other table"}})");
    EXPECT_EQ(p.strings, (Strings{{107, "1"}, {9999, "custom"}, {121, "A1a.jar"}, {-5, "x"}}));
    EXPECT_EQ(p.messages, (Messages{{20013, u"Setup"}, {107, u"same id, other table"}}));
    EXPECT_EQ(p.integrityFlag, 1);
}

TEST(PackJson, ValueFormsBecomeTheTextTheLauncherParses) {
    const Package p = parse(R"({"strings": [
        ["splashWidth", 640], ["statusX", -12], ["splashScreen", true], ["splashTopMost", false],
        ["statusColor", [255, 128, 0]], ["versionColor", "0,0,255"], ["9000", [1, 2, 3]],
        ["launcherType", "12abc"], ["applicationName", {"hex": "E4f600"}], ["statusText", "Gr\u00f6\u00dfe \u20ac"]]})");
    EXPECT_EQ(p.strings, (Strings{{141, "640"}, {10109, "-12"}, {108, "1"}, {147, "0"}, {10114, "255,128,0"},
                                  {10121, "0,0,255"}, {9000, "1,2,3"}, {107, "12abc"},
                                  {101, std::string("\xE4\xF6\0", 3)}, {10111, "Gr\xF6\xDF" "e \x80"}}));
}

TEST(PackJson, TextsAreWrittenInTheDescriptionsCodePage) {
    struct Case {
        const char* codePage;  // the member as written, empty for none
        const char* text;      // JSON text of applicationName
        std::string expected;  // the record bytes, or the refusal
    };
    const Case cases[] = {
        {"1253", "\\u03b1", "\xE1"},
        {"1250", "\\u0141\\u00f3d\\u017a", "\xA3\xF3" "d\x9F"},
        {"1251", "\\u041f\\u0440\\u0438", "\xCF\xF0\xE8"},
        {"932", "\\u65e5\\u672c", "\x93\xFA\x96\x7B"},
        {"65001", "Gr\\u00f6\\u00dfe", "Gr\xC3\xB6\xC3\x9F" "e"},
        {"", "snow \\u2603!", "strings[\"applicationName\"]: \"snow \xE2\x98\x83!\" cannot be written in code page 1252: "
                               "U+2603 \"\xE2\x98\x83\" has no character there (name another \"codePage\" or give the "
                               "bytes as {\"hex\": ...})"},
        {"", "a\\u0081", "U+0081"},
        {"1251", "\\u00e9", "code page 1251: U+00E9"},
        {"1252", "\\ud83d\\ude00", "U+1F600"},
        {"1200", "x", "codePage: must be a Windows ANSI code page (874, 932, 936, 949, 950, 1250 to 1258) or 65001"},
        {"\"1252\"", "x", "codePage: must be a Windows ANSI code page"},
    };
    for (const Case& c : cases) {
        const std::string member = *c.codePage ? std::string(R"("codePage": )") + c.codePage + ", " : "";
        const std::string json = "{" + member + R"("strings": {"applicationName": ")" + c.text + "\"}}";
        if (c.expected.starts_with("strings") || c.expected.starts_with("U+") || c.expected.starts_with("code") ||
            c.expected.starts_with("codePage")) {
            EXPECT_THAT(refusal(json), HasSubstr(c.expected)) << json;
        } else {
            EXPECT_EQ(parse(json).strings, (Strings{{101, c.expected}})) << json;
        }
    }
    // Language keys and included-file names are 8-bit texts too; the Linux edition reads UTF-8.
    const std::string json = R"({"codePage": 1252, "languages": [{"key": "\u00e9"}],
                                 "files": [{"name": "Gr\u00f6\u00dfe.txt", "text": "x"}]})";
    const Package p = parse(json);
    EXPECT_EQ(p.languages[0].key, "\xE9");
    EXPECT_EQ(p.strings, (Strings{{2002, "1"}, {2003, "Gr\xF6\xDF" "e.txt"}}));
    std::vector<std::string> notes;
    const Package linux = packageFromJson(R"({"codePage": 1250, "strings": {"101": "\u0141"}})", ".", notes,
                                          TargetSystem::Linux);
    EXPECT_EQ(linux.strings, (Strings{{101, "\xC5\x81"}}));
    EXPECT_THAT(notes, ElementsAre("note: codePage 1250 ignored: the Linux launcher reads its texts as UTF-8"));
}

TEST(PackJson, PairsAllowRepeatedIdsWhileObjectsRefuseThem) {
    const Package p = parse(R"({"strings": [["launcherType", 1], [107, "5"]],
                                "messages": [[20013, "a"], ["msgCaption", "b"]]})");
    EXPECT_EQ(p.strings, (Strings{{107, "1"}, {107, "5"}}));
    EXPECT_EQ(p.messages, (Messages{{20013, u"a"}, {20013, u"b"}}));
    EXPECT_THAT(refusal(R"({"strings": {"launcherType": 1, "launcherType": 5}})"),
                HasSubstr("\"launcherType\" appears twice in one object; use the [[key, value], ...] form"));
}

TEST(PackJson, MessagesAreWrittenAsUtf16) {
    const Package p = parse(R"({"messages": {"20016": "Gr\u00fc\u00dfe \ud83d\ude00", "20001": {"utf16le": "00d84100"}},
        "languages": [{"key": "de_AT", "messages": [["msgCaption", "Servus"], [20013, "2"]]}, {"key": ""}]})");
    EXPECT_EQ(p.messages, (Messages{{20016, u"Gr\u00FC\u00DFe \U0001F600"}, {20001, std::u16string{0xD800, u'A'}}}));
    ASSERT_EQ(p.languages.size(), 2u);
    EXPECT_EQ(p.languages[0].key, "de_AT");
    EXPECT_EQ(p.languages[0].messages, (Messages{{20013, u"Servus"}, {20013, u"2"}}));
    EXPECT_EQ(p.languages[1].key, "");
    EXPECT_TRUE(p.languages[1].messages.empty());
}

TEST(PackJson, MistakesAreRefusedNamingTheEntry) {
    const std::pair<const char*, const char*> cases[] = {
        {R"({"strings": {"launcherTyp": 1}})", "strings[\"launcherTyp\"]: unknown property name \"launcherTyp\""},
        {R"({"strings": {"msgCaption": "x"}})", "\"msgCaption\" is a message; list it under \"messages\""},
        {R"({"messages": {"classPath": "x"}})", "\"classPath\" is a string property, not a message"},
        {R"({"strings": {"classPath": [1, 2, 3]}})", "only colour properties take [r, g, b]"},
        {R"({"strings": {"statusColor": [1, 2]}})", "exactly three components"},
        {R"({"strings": {"statusColor": [1, 2, 256]}})", "integers from 0 to 255"},
        {R"({"strings": {"splashWidth": 1.5}})", "a string property value must be"},
        {R"({"strings": {"splashWidth": null}})", "a string property value must be"},
        {R"({"strings": [[2147483648, "x"]]})", "does not fit in 32 bits"},
        {R"({"strings": [["a", "b", "c"]]})", "strings[0]: an entry must be a [key, value] pair"},
        {R"({"strings": {"9": {"hex": "abc"}}})", "even number of hex digits"},
        {R"({"messages": {"9": {"utf16le": "00d800"}}})", "whole UTF-16 code units"},
        {R"({"messages": {"9": 5}})", "a message must be text"},
        {R"({"string": {}})", "description: unknown member \"string\""},
        {R"({"languages": [{"messages": {}}]})", "languages[0]: needs a \"key\" text"},
        {R"({"files": [{"text": "x"}]})", "files[0]: needs a \"name\" text"},
        {R"({"files": [{"name": "a", "text": "x", "hex": "00"}]})", "exactly one of \"source\", \"text\" or \"hex\""},
        {R"({"files": [{"name": "a", "text": "x", "size": 2}]})", "\"size\" 2 does not match the data (1 bytes)"},
        {R"({"files": [{"name": "sub\\com9.txt", "text": "x"}]})", "files[0]: \"com9.txt\" is a Windows device name"},
        {R"({"files": [{"name": "LPT¹.log", "text": "x"}]})", "files[0]: the launcher refuses the name: device name"},
        {R"({"files": [{"name": "a\\.. \\b", "text": "x"}]})", "the launcher refuses the name: parent directory"},
        {R"({"files": [{"name": "a.txt", "text": "x"}, {"name": "A.TXT", "text": "y"}]})",
         "files[1]: the name clashes with the included file \"a.txt\""},
        {R"({"files": [{"name": "lib\\x", "text": "x"}, {"name": "LIB", "text": "y"}]})", "files[1]: the name clashes"},
        {R"({"files": [{"name": "lib", "text": "x"}, {"name": "lib\\x", "text": "y"}]})", "files[1]: the name clashes"},
        {R"({"integrity": "yes"})", "integrity: must be true, false or a 32-bit integer"},
        {R"({"strings": {"a": 1},})", "invalid JSON: "},
        {R"([1, 2])", "description: must be an object"},
    };
    for (const auto& [json, expected] : cases) EXPECT_THAT(refusal(json), HasSubstr(expected)) << json;
}

TEST(PackJson, IntegrityFlagCanBeTurnedOff) {
    EXPECT_EQ(parse(R"({"integrity": false})").integrityFlag, 0);
    EXPECT_EQ(parse(R"({"integrity": true})").integrityFlag, 1);
    EXPECT_EQ(parse(R"({"integrity": 7})").integrityFlag, 7);
    EXPECT_EQ(parse("{}").integrityFlag, 1);
}

TEST(PackJson, IncludedFilesSetCountAndNamesUnlessGiven) {
    const Package p = parse(R"({"strings": {"launcherType": 1},
        "files": [{"name": "jre.tar.gz", "text": "tar"}, {"name": "lib\\a.dll", "hex": "5a00ff"},
                  {"name": "empty.txt", "text": ""}]})");
    EXPECT_EQ(p.strings, (Strings{{107, "1"}, {2002, "3"}, {2003, "jre.tar.gz;lib\\a.dll;empty.txt"}}));
    ASSERT_EQ(p.files.size(), 3u);
    EXPECT_EQ(p.files[0].data, (std::vector<std::uint8_t>{'t', 'a', 'r'}));
    EXPECT_EQ(p.files[1].data, (std::vector<std::uint8_t>{0x5A, 0x00, 0xFF}));
    EXPECT_TRUE(p.files[2].data.empty());

    const Package explicitNames = parse(R"({"strings": {"includedFileNames": "x.dll;;y.dll"},
        "files": [{"name": "x.dll", "text": "x"}, {"name": "y.dll", "text": "y"}]})");
    EXPECT_EQ(explicitNames.strings, (Strings{{2003, "x.dll;;y.dll"}, {2002, "2"}}));
    EXPECT_EQ(parse(R"({"files": []})").strings, Strings{});
}

TEST(PackJson, AnIncludedRuntimeArchiveStatesItsInflatedSize) {
    const std::string one = "1f8b0800000000000203cb48cdc9c9070086a6103605000000";  // "hello"
    const std::string two = one + "1f8b0800000000000203aba81805a360140c770000e6c9413be8030000";  // + 1000 "x"
    const struct {
        std::string files;
        std::optional<std::string> size;
    } rows[] = {
        {R"({"name": "jre.tar.gz", "hex": ")" + one + R"("})", "5"},
        {R"({"name": "JRE.TAR.GZ", "hex": ")" + two + R"("})", "1005"},
        {R"({"name": "jre.tar.gz", "hex": ")" + one.substr(0, 30) + R"("})", std::nullopt},  // cut short
        {R"({"name": "other.tar.gz", "hex": ")" + one + R"("})", std::nullopt},
    };
    for (const auto& row : rows) {
        const Package p = parse(R"({"files": [)" + row.files + "]}");
        std::optional<std::string> size;
        for (const auto& [id, value] : p.strings) {
            if (id == 151) size = value;
        }
        EXPECT_EQ(size, row.size) << row.files;
    }
    const Package given = parse(R"({"strings": {"jreArchiveSize": 7}, "files": [{"name": "jre.tar.gz", "hex": ")" + one +
                                R"("}]})");
    EXPECT_EQ(given.strings, (Strings{{151, "7"}, {2002, "1"}, {2003, "jre.tar.gz"}}));
}

// The digest of the archive the installer downloads, from a local copy ("abc"), unless the
// description states it; a stated digest that the copy contradicts is refused.
TEST(PackJson, TheDownloadArchiveGivesItsSha256) {
    test::TempDir dir;
    test::writeBytes(dir / "jre.tar.gz", {'a', 'b', 'c'});
    const std::string abc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    std::vector<std::string> notes;
    const struct {
        std::string strings;
        std::string outcome;
    } rows[] = {
        {"{}", abc},
        {R"({"jreDownloadDigest": "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"})",
         "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"},
        {R"({"3001": "00"})", "downloadArchive: its SHA-256 " + abc + " differs from jreDownloadDigest 00"},
    };
    for (const auto& row : rows) {
        std::string outcome;
        try {
            for (const auto& [id, value] : parse(R"({"downloadArchive": "jre.tar.gz", "strings": )" + row.strings + "}",
                                                 notes, dir.path()).strings) {
                if (id == 3001) outcome = value;
            }
        } catch (const PackError& e) {
            outcome = e.what();
        }
        EXPECT_EQ(outcome, row.outcome) << row.strings;
    }
    EXPECT_THROW(parse(R"({"downloadArchive": "missing.tar.gz"})", notes, dir.path()), PackError);
}

TEST(PackJson, FileSourcesAreReadRelativeToTheDescription) {
    test::TempDir dir;
    std::filesystem::create_directories(dir / "data");
    test::writeBytes(dir / "data" / "native.dll", {0, 1, 2, 0x5A});
    std::vector<std::string> notes;
    const Package p = parse(R"({"files": [{"name": "native.dll", "source": "data/native.dll", "size": 4}]})", notes,
                            dir.path());
    ASSERT_EQ(p.files.size(), 1u);
    EXPECT_EQ(p.files[0].data, (std::vector<std::uint8_t>{0, 1, 2, 0x5A}));
    EXPECT_THROW(parse(R"({"files": [{"name": "x", "source": "data/missing.dll"}]})", notes, dir.path()), PackError);
}

TEST(PackJson, IncludedFileNamesMustStayInsideTheTargetDirectory) {
    for (const char* name : {"..\\\\x", "a\\\\..\\\\b", "C:x", "\\\\abs", "/abs", "a;b", "a/b", "", "a\\\\\\\\b",
                             ".", "a\\\\", "tab\\t", "COM9", "sub\\\\com9.txt", "NUL", "nul.tar.gz",
                             "CONOUT$", "conin$.log", "lpt1\\\\x", "Aux .txt", "PRN"}) {
        const std::string json = std::string(R"({"files": [{"name": ")") + name + R"(", "text": "x"}]})";
        EXPECT_THAT(refusal(json), HasSubstr("files[0]: ")) << name;
    }
    for (const char* name : {"com10", "COM0.txt", "console.txt", "nul_x", "lpt", "con-out", "x\\\\auxiliary"}) {
        EXPECT_EQ(refusal(std::string(R"({"files": [{"name": ")") + name + R"(", "text": "x"}]})"), "accepted") << name;
    }
    std::vector<std::string> notes;
    parse(R"({"files": [{"name": "a..b\\c.txt", "text": "x"}, {"name": "a\\b\\c.txt", "text": "x"}]})", notes);
    EXPECT_THAT(notes, ElementsAre(HasSubstr("files[1]: the launcher creates only the first directory level")));
}

// A package with everything the dump must carry over, including what JSON text cannot hold.
Package awkwardPackage() {
    Package p;
    p.integrityFlag = 0;
    p.strings = {{107, "1"},          {107, "5"},          {141, "007"},  {142, "-7"}, {9999, "free text"},
                 {101, "caf\xE9"},    {10114, "255,0,0"}, {20013, "id of a message, as a string"}, {10111, "\x81x"}};
    p.messages = {{20013, u"Setup \U0001F600"}, {20016, std::u16string{0xDC00, u'x'}}, {107, u"message 107"}};
    p.languages = {{"de", {{20013, u"Inst"}, {20013, u"Inst 2"}}}, {"", {}}};
    return p;
}

TEST(PackJsonOut, DescriptionPacksBackToTheSameRecord) {
    const Package original = awkwardPackage();
    const std::string text = packageToJson(original, std::nullopt, kDefaultCodePage).dump(2);
    const Package again = parse(text);
    EXPECT_EQ(encodeRecord(again), encodeRecord(original)) << text;
}

TEST(PackJsonOut, UsesCatalogueNamesPerTableAndReadableValues) {
    Package p = awkwardPackage();
    p.strings.erase(p.strings.begin() + 1);  // no repeated id left in the string table
    Json json = packageToJson(p, std::nullopt, kDefaultCodePage);
    EXPECT_EQ(json["integrity"], false);
    Json& strings = json["strings"];
    ASSERT_TRUE(strings.is_object());
    EXPECT_EQ(strings["launcherType"], 1);
    EXPECT_EQ(strings["splashWidth"], "007") << "only plain decimal text becomes a number";
    EXPECT_EQ(strings["splashHeight"], -7);
    EXPECT_EQ(strings["9999"], "free text");
    EXPECT_EQ(strings["applicationName"], "caf\xC3\xA9") << "text of code page 1252";
    EXPECT_EQ(strings["statusText"], Json({{"hex", "8178"}})) << "no text of code page 1252";
    EXPECT_EQ(strings["statusColor"], "255,0,0");
    EXPECT_EQ(strings["20013"], "id of a message, as a string");
    Json& messages = json["messages"];
    EXPECT_EQ(messages["msgCaption"], "Setup \xF0\x9F\x98\x80");
    EXPECT_EQ(messages["msgDataDamaged"], Json({{"utf16le", "00dc7800"}}));
    EXPECT_EQ(messages["107"], "message 107");
    EXPECT_EQ(json["languages"][0]["messages"],
              Json::parse(R"([["msgCaption", "Inst"], ["msgCaption", "Inst 2"]])"));
}

TEST(PackJsonOut, FilesNameTheirExtractedCopies) {
    Package p;
    p.files = {{"lib\\a.dll", {1, 2}}, {"b.txt", {}}};
    test::TempDir dir;
    extractFiles(p, dir.path());
    Json withSources = packageToJson(p, dir.path(), kDefaultCodePage);
    EXPECT_EQ(withSources["files"][0]["source"], (dir / "lib" / "a.dll").string());
    EXPECT_EQ(withSources["files"][1]["size"], 0);
    std::vector<std::string> notes;
    const Package again = parse(withSources.dump(), notes);
    ASSERT_EQ(again.files.size(), 2u);
    EXPECT_EQ(again.files[0].data, p.files[0].data);
    EXPECT_EQ(again.files[0].name, "lib\\a.dll");
    EXPECT_FALSE(packageToJson(p, std::nullopt, kDefaultCodePage)["files"][0].contains("source"));
}

}  // namespace
}  // namespace zendra::pack
