#include "pack_cli.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "pack_json.h"
#include "pack_test_support.h"
#include "record_test_support.h"

namespace zendra::pack {
namespace {

using testing::HasSubstr;
using testing::StartsWith;

// Exit code and output of one in-process run.
struct ToolRun {
    int code = 0;
    std::string out;
    std::string err;
};

ToolRun run(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    ToolRun result;
    result.code = runPackTool(args, out, err);
    result.out = out.str();
    result.err = err.str();
    return result;
}

// The example description printed by --help.
std::string helpExample() {
    const std::string help = usageText();
    const std::size_t start = help.find("\n  {\n");
    const std::size_t end = help.find("\n  }\n", start);
    return help.substr(start + 1, end + 4 - start);
}

class PackCli : public testing::Test {
protected:
    void SetUp() override {
        test::writeBytes(dir_ / "launcher.exe", test::buildPe({{0x400, 0x200}, {0x600, 0x100}}));
        std::filesystem::create_directories(dir_ / "build");
        test::writeText(dir_ / "build" / "jre.tar.gz", "not really a tar");
        test::writeText(dir_ / "native.dll", std::string("MZ\x5A\0", 4));
        test::writeText(dir_ / "app.json", helpExample());
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }

    test::TempDir dir_;
};

TEST_F(PackCli, HelpExampleIsAValidDescription) {
    const ToolRun help = run({"--help"});
    EXPECT_EQ(help.code, 0);
    EXPECT_THAT(help.out, StartsWith("usage:"));
    EXPECT_THAT(helpExample(), HasSubstr("\"languages\""));
    const ToolRun packed = run({path("launcher.exe"), path("app.json"), path("out.exe")});
    EXPECT_EQ(packed.code, 0) << packed.err;
    EXPECT_EQ(packed.err, "");
    EXPECT_TRUE(std::filesystem::exists(dir_ / "out.exe"));
}

TEST_F(PackCli, InitWritesADescriptionThatPacksAsItIs) {
    struct Case {
        const char* name;
        const char* jar;
        int codePage;
    };
    for (const Case& c : {Case{"Hello", "A1hello.jar", 1252}, Case{"Gr\u00F6\u00DFe App 2", "A1greapp2.jar", 1252},
                          Case{"\u0141\u00F3d\u017A", "A1d.jar", 1250}, Case{"\u65E5\u672C", "A1app.jar", 932},
                          Case{"9 \"Lives\"", "A1app9lives.jar", 1252}}) {
        ASSERT_EQ(run({"--init", c.name, "--output", path("init.json")}).code, 0);
        const Json json = Json::parse(test::readText(dir_ / "init.json"));
        EXPECT_EQ(json["strings"]["applicationName"], c.name);
        EXPECT_EQ(json["strings"]["classPath"], c.jar);
        EXPECT_EQ(json["codePage"], c.codePage) << c.name;
        const ToolRun packed = run({path("launcher.exe"), path("init.json"), path("init.exe")});
        EXPECT_EQ(packed.code, 0) << packed.err;
        EXPECT_EQ(packed.err, "");
    }
    ASSERT_EQ(run({"--init", "Hello", "-o", path("hello.json")}).code, 0);
    EXPECT_EQ(run({"--init", "Hello"}).out, test::readText(dir_ / "hello.json"));
    EXPECT_EQ(run({"--init", ""}).err, "zendra-pack: --init needs the application's name\n");
}

TEST_F(PackCli, BadUsageExitsWithTwo) {
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {}, {"--bogus"}, {"--dump"}, {"--dump", "x.exe", "--extract-dir"}, {"--dump", "x.exe", "--zip", "d"},
             {"a", "b"}, {"--verify"}, {"a", "b", "c", "d"}}) {
        const ToolRun result = run(args);
        EXPECT_EQ(result.code, 2) << testing::PrintToString(args);
        EXPECT_EQ(result.err, "zendra-pack: bad arguments (see zendra-pack --help)\n");
    }
}

TEST_F(PackCli, DumpedDescriptionPacksToTheSameFile) {
    ASSERT_EQ(run({path("launcher.exe"), path("app.json"), path("first.exe")}).code, 0);
    const ToolRun dump = run({"--dump", path("first.exe"), "--extract-dir", path("files"), "-o", path("dumped.json")});
    ASSERT_EQ(dump.code, 0) << dump.err;
    EXPECT_THAT(dump.err, testing::MatchesRegex("integrity: flag 1, checksum 0x[0-9a-f]{8} over [0-9]+ bytes: matches\n"));
    EXPECT_EQ(test::readText(dir_ / "files" / "lib" / "native.dll"), std::string("MZ\x5A\0", 4));
    ASSERT_EQ(run({path("first.exe"), path("dumped.json"), path("second.exe")}).code, 0);
    EXPECT_EQ(test::readBytes(dir_ / "first.exe"), test::readBytes(dir_ / "second.exe"));

    const ToolRun toStdout = run({"--dump", path("second.exe")});
    EXPECT_EQ(toStdout.code, 0);
    Json json = Json::parse(toStdout.out);
    EXPECT_EQ(json["strings"]["launcherType"], 1);
    EXPECT_EQ(json["strings"]["includedFileNames"], "jre.tar.gz;lib\\native.dll;readme.txt");
    ASSERT_EQ(json["files"].size(), 3u);
    EXPECT_EQ(json["files"][2], Json({{"name", "readme.txt"}, {"size", 5}}));
}

TEST_F(PackCli, RefusalsAreOneLineAndExitWithOne) {
    test::writeText(dir_ / "text.exe", "just text");
    test::writeText(dir_ / "broken.json", R"({"strings": {"nope": 1}})");
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{path("text.exe"), path("app.json"), path("o.exe")}, "zendra-pack: not a PE or ELF file: no MZ or ELF header\n"},
        {{path("launcher.exe"), path("broken.json"), path("o.exe")},
         "zendra-pack: strings[\"nope\"]: unknown property name \"nope\"\n"},
        {{"--dump", path("launcher.exe")}, "zendra-pack: no valid configuration record: Internal Error: readInt\n"},
        {{"--dump", path("text.exe")}, "zendra-pack: not a PE or ELF file: no MZ or ELF header\n"},
        {{"--verify", path("missing.exe")}, "zendra-pack: cannot read \"" + path("missing.exe") + "\"\n"},
    };
    for (const auto& [args, message] : cases) {
        const ToolRun result = run(args);
        EXPECT_EQ(result.code, 1);
        EXPECT_EQ(result.err, message);
        EXPECT_EQ(result.out, "");
    }
    EXPECT_FALSE(std::filesystem::exists(dir_ / "o.exe"));
}

TEST_F(PackCli, VerifyFailsOnlyWhenACheckedChecksumIsWrong) {
    ASSERT_EQ(run({path("launcher.exe"), path("app.json"), path("out.exe")}).code, 0);
    EXPECT_EQ(run({"--verify", path("out.exe")}).code, 0);
    std::vector<std::uint8_t> bytes = test::readBytes(dir_ / "out.exe");
    ASSERT_FALSE(bytes.empty());
    bytes.back() ^= 0x40;
    test::writeBytes(dir_ / "bad.exe", bytes);
    const ToolRun bad = run({"--verify", path("bad.exe")});
    EXPECT_EQ(bad.code, 1);
    EXPECT_THAT(bad.out, HasSubstr("MISMATCH"));

    test::writeText(dir_ / "off.json", R"({"integrity": false, "files": [{"name": "a", "text": "abc"}]})");
    ASSERT_EQ(run({path("launcher.exe"), path("off.json"), path("off.exe")}).code, 0);
    bytes = test::readBytes(dir_ / "off.exe");
    ASSERT_FALSE(bytes.empty());
    bytes.back() ^= 0x40;
    test::writeBytes(dir_ / "off.exe", bytes);
    const ToolRun off = run({"--verify", path("off.exe")});
    EXPECT_EQ(off.code, 0);
    EXPECT_THAT(off.out, HasSubstr("flag 0"));
}

TEST_F(PackCli, RepackingDropsTheOldRecordWithANote) {
    ASSERT_EQ(run({path("launcher.exe"), path("app.json"), path("first.exe")}).code, 0);
    test::writeText(dir_ / "small.json", R"({"strings": {"launcherType": 5}})");
    const ToolRun again = run({path("first.exe"), path("small.json"), path("first.exe")});
    EXPECT_EQ(again.code, 0);
    EXPECT_THAT(again.err, HasSubstr("note: dropped"));
    Json json = Json::parse(run({"--dump", path("first.exe")}).out);
    EXPECT_EQ(json["strings"], Json({{"launcherType", 5}}));
    EXPECT_EQ(json["files"], Json::array());
}

TEST_F(PackCli, TheBuiltCommandBehavesLikeTheLibrary) {
    const std::string tool = ZENDRA_PACK_EXE;
    const std::string quiet = " >" + path("cmd.out") + " 2>" + path("cmd.err");
    EXPECT_EQ(std::system((tool + " --help" + quiet).c_str()), 0);
    EXPECT_THAT(test::readText(dir_ / "cmd.out"), HasSubstr("\"files\""));
    const int refused = std::system((tool + " --dump " + path("launcher.exe") + quiet).c_str());
    EXPECT_EQ(WEXITSTATUS(refused), 1);
    EXPECT_EQ(test::readText(dir_ / "cmd.err"), "zendra-pack: no valid configuration record: Internal Error: readInt\n");
}

}  // namespace
}  // namespace zendra::pack
