// The pack command on real ELF executables (a tiny native program, as linked and stripped):
// the packaged program still runs, keeps its mode, dumps back to its description, verifies,
// and the launcher's reader finds its record.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdlib>
#include <sstream>

#include "pack_cli.h"
#include "pack_json.h"
#include "pack_test_support.h"
#include "record.h"

namespace zendra::pack {
namespace {

using testing::HasSubstr;
using std::filesystem::perms;

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

constexpr const char* kDescription = R"({
  "strings": {"launcherType": 1, "classPath": "A1lib/app.jar", "applicationName": "Tiny App"},
  "messages": {"msgCaption": "Tiny"},
  "languages": [{"key": "de", "messages": {"msgCaption": "Winzig"}}],
  "files": [{"name": "lib\\app.jar", "source": "app.jar"}, {"name": "readme.txt", "text": "hello"}]
})";

// Each test runs on both builds of the tiny program.
class PackElfCli : public testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        std::filesystem::copy_file(GetParam(), dir_ / "launcher");
        std::filesystem::permissions(dir_ / "launcher", perms::owner_all | perms::group_read | perms::group_exec);
        test::writeText(dir_ / "app.jar", std::string("PK\x03\x04", 4) + " not really a jar");
        test::writeText(dir_ / "app.json", kDescription);
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    ToolRun pack(const std::string& launcher, const std::string& description, const std::string& output) {
        return run({path(launcher), path(description), path(output)});
    }
    // Runs a packaged program and returns its exit status and what it printed.
    std::pair<int, std::string> execute(const std::string& name) {
        const int status = std::system((path(name) + " one two >" + path("run.out") + " 2>&1").c_str());
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, test::readText(dir_ / "run.out")};
    }

    test::TempDir dir_;
};

TEST_P(PackElfCli, PackagedProgramIsTheLauncherThenTheRecordAndStillRuns) {
    const ToolRun packed = pack("launcher", "app.json", "app");
    ASSERT_EQ(packed.code, 0) << packed.err;
    EXPECT_EQ(packed.err, "");
    const std::vector<std::uint8_t> launcher = test::readBytes(dir_ / "launcher");
    const std::vector<std::uint8_t> app = test::readBytes(dir_ / "app");
    ASSERT_GT(app.size(), launcher.size());
    EXPECT_TRUE(std::equal(launcher.begin(), launcher.end(), app.begin()))
        << "a linked program ends with its section header table: nothing of it is cut";

    EXPECT_EQ(std::filesystem::status(dir_ / "app").permissions(), perms::owner_all | perms::group_read | perms::group_exec);
    EXPECT_EQ(execute("app"), std::make_pair(0, std::string("tiny launcher ran with 2 arguments\n")));

    MemoryFile file(app);
    NullLogger log;
    RecordReader reader(file, log);
    EXPECT_EQ(reader.seekToAppendedData(), launcher.size());
    const RecordHead head = reader.readHead();
    EXPECT_EQ(head.integrityFlag, 1);
    ASSERT_GE(head.strings.size(), 3u);
    EXPECT_EQ(head.strings[2].second, "Tiny App");
    EXPECT_EQ(head.messages, (std::vector<std::pair<std::int32_t, std::u16string>>{{20013, u"Tiny"}}));
    ASSERT_EQ(reader.readLanguageBlocks().size(), 1u);
}

TEST_P(PackElfCli, DumpPacksBackToTheSameFileAndVerifies) {
    ASSERT_EQ(pack("launcher", "app.json", "first").code, 0);
    const ToolRun dump = run({"--dump", path("first"), "--extract-dir", path("files"), "-o", path("dumped.json")});
    ASSERT_EQ(dump.code, 0) << dump.err;
    EXPECT_THAT(dump.err, testing::MatchesRegex("integrity: flag 1, checksum 0x[0-9a-f]{8} over [0-9]+ bytes: matches\n"))
        << "an ELF launcher has no resources to list";
    EXPECT_EQ(test::readText(dir_ / "files" / "readme.txt"), "hello");
    const Json json = Json::parse(test::readText(dir_ / "dumped.json"));
    EXPECT_EQ(json["strings"]["applicationName"], "Tiny App");
    EXPECT_EQ(json["languages"][0]["messages"]["msgCaption"], "Winzig");

    ASSERT_EQ(pack("first", "dumped.json", "second").code, 0);
    EXPECT_EQ(test::readBytes(dir_ / "first"), test::readBytes(dir_ / "second"));
    EXPECT_EQ(run({"--verify", path("second")}).code, 0);

    std::vector<std::uint8_t> damaged = test::readBytes(dir_ / "second");
    damaged[damaged.size() - 3] ^= 0x01;  // inside the included data
    test::writeBytes(dir_ / "damaged", damaged);
    const ToolRun verify = run({"--verify", path("damaged")});
    EXPECT_EQ(verify.code, 1);
    EXPECT_THAT(verify.out, HasSubstr("MISMATCH"));
}

TEST_P(PackElfCli, RepackingReplacesTheOlderRecordInPlace) {
    ASSERT_EQ(pack("launcher", "app.json", "app").code, 0);
    test::writeText(dir_ / "small.json", R"({"strings": {"launcherType": 5}})");
    ASSERT_EQ(pack("launcher", "small.json", "expected").code, 0);
    const ToolRun again = pack("app", "small.json", "app");
    ASSERT_EQ(again.code, 0) << again.err;
    EXPECT_THAT(again.err, HasSubstr("note: dropped "));
    EXPECT_EQ(test::readBytes(dir_ / "app"), test::readBytes(dir_ / "expected"));
    EXPECT_EQ(execute("app").first, 0);
    const Json json = Json::parse(run({"--dump", path("app")}).out);
    EXPECT_EQ(json["strings"], Json({{"launcherType", 5}}));
}

TEST_P(PackElfCli, ResourcesAreLeftOutWithOneNote) {
    test::writeText(dir_ / "splash.bmp", "BM not really a bitmap");
    test::writeText(dir_ / "app.ico", "not really an icon");
    test::writeText(dir_ / "res.json", R"({"strings": {"launcherType": 1},
                                           "resources": {"splashBitmap": "splash.bmp", "icon": "app.ico"}})");
    test::writeText(dir_ / "plain.json", R"({"strings": {"launcherType": 1}})");
    // The helper named here does not exist: an ELF launcher never needs it.
    const ToolRun packed = run({"--resource-helper", path("no-helper.exe"), path("launcher"), path("res.json"),
                                path("with")});
    ASSERT_EQ(packed.code, 0) << packed.err;
    EXPECT_EQ(packed.err,
              "note: resources ignored (splashBitmap, icon): an ELF launcher carries no Windows resources\n");
    ASSERT_EQ(pack("launcher", "plain.json", "without").code, 0);
    EXPECT_EQ(test::readBytes(dir_ / "with"), test::readBytes(dir_ / "without"));

    // One description serves a Windows and a Linux launcher, also where only the Windows
    // packaging has the resource files at hand.
    test::writeText(dir_ / "elsewhere.json", R"({"strings": {"launcherType": 1},
                                                "resources": {"splashBitmap": "made/later.bmp"}})");
    const ToolRun missing = run({path("launcher"), path("elsewhere.json"), path("missing")});
    ASSERT_EQ(missing.code, 0) << missing.err;
    EXPECT_EQ(missing.err, "note: resources ignored (splashBitmap): an ELF launcher carries no Windows resources\n");
    EXPECT_EQ(test::readBytes(dir_ / "missing"), test::readBytes(dir_ / "without"));
}

TEST_P(PackElfCli, OutputTakesTheLauncherModeEvenWhenItExisted) {
    test::writeText(dir_ / "app", "an older file");
    std::filesystem::permissions(dir_ / "app", perms::owner_read | perms::owner_write);
    std::filesystem::permissions(dir_ / "launcher", perms::owner_read | perms::owner_exec | perms::others_exec);
    ASSERT_EQ(pack("launcher", "app.json", "app").code, 0);
    EXPECT_EQ(std::filesystem::status(dir_ / "app").permissions(),
              perms::owner_read | perms::owner_write | perms::owner_exec | perms::others_exec)
        << "the owner keeps write access so that the file can be packaged again";
    ASSERT_EQ(pack("app", "app.json", "app").code, 0);
}

#ifdef ZENDRA_TINY_ELF
INSTANTIATE_TEST_SUITE_P(TinyProgram, PackElfCli, testing::Values(ZENDRA_TINY_ELF, ZENDRA_TINY_ELF_STRIPPED),
                         [](const testing::TestParamInfo<const char*>& info) {
                             return info.index == 0 ? std::string("Linked") : std::string("Stripped");
                         });
#endif

}  // namespace
}  // namespace zendra::pack
