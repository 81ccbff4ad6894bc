// The pack command with resources, without Wine: a stand-in for wine64 (a shell script,
// through $ZENDRA_WINE) shows how the tool talks to the helper and what it accepts back.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdlib>
#include <optional>
#include <sstream>

#include "pack_cli.h"
#include "pack_test_support.h"
#include "record_test_support.h"

namespace zendra::pack {
namespace {

using testing::HasSubstr;

#ifdef ZENDRA_TINY_RESOURCES_PE
constexpr const char* kResourcePe = ZENDRA_TINY_RESOURCES_PE;
#else
constexpr const char* kResourcePe = "";
#endif

// Sets (or with nullopt removes) an environment variable for the lifetime of the object.
class ScopedEnv {
public:
    ScopedEnv(const char* name, const std::optional<std::string>& value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) {
            ::setenv(name, value->c_str(), 1);
        } else {
            ::unsetenv(name);
        }
    }
    ~ScopedEnv() {
        if (old_) {
            ::setenv(name_, old_->c_str(), 1);
        } else {
            ::unsetenv(name_);
        }
    }
    ScopedEnv(const ScopedEnv&) = delete;
    ScopedEnv& operator=(const ScopedEnv&) = delete;

private:
    const char* name_;
    std::optional<std::string> old_;
};

struct ToolRun {
    int code = 0;
    std::string out;
    std::string err;
};

ToolRun run(const std::vector<std::string>& args) {
    std::ostringstream out;
    std::ostringstream err;
    const int code = runPackTool(args, out, err);
    return {code, out.str(), err.str()};
}

class PackResources : public testing::Test {
protected:
    void SetUp() override {
        test::writeBytes(dir_ / "launcher.exe", test::buildPe({{0x400, 0x200}, {0x600, 0x100}}));
        test::writeText(dir_ / "splash.png", "raw\x01\x02\x03\x04");
        test::writeText(dir_ / "helper.exe", "MZ stands in for zendra-rc.exe");
        test::writeText(dir_ / "app.json", R"({"strings": {"launcherType": 2}, "resources": {"splashImage": "splash.png"}})");
    }
    std::string path(const std::string& name) const { return (dir_ / name).string(); }
    // A stand-in for wine64 running the given shell commands ($1 helper, $2 target, ...).
    std::string fakeWine(const std::string& body) const {
        const std::string script = path("fake-wine.sh");
        test::writeText(script, "#!/bin/sh\n" + body + "\n");
        ::chmod(script.c_str(), 0700);
        return script;
    }
    ToolRun pack(const std::string& launcher, const std::string& description = "app.json") const {
        return run({"--resource-helper", path("helper.exe"), launcher, path(description), path("out.exe")});
    }

    test::TempDir dir_;
    ScopedEnv noHelperVariable_{"ZENDRA_RESOURCE_HELPER", std::nullopt};
};

TEST_F(PackResources, MissingHelperOrWineIsOneClearLine) {
    const ScopedEnv wine("ZENDRA_WINE", fakeWine("exit 0"));
    ToolRun result = run({path("launcher.exe"), path("app.json"), path("out.exe")});
    EXPECT_EQ(result.code, 1);
    EXPECT_EQ(result.err, "zendra-pack: adding resources needs the helper zendra-rc.exe: give --resource-helper PATH "
                          "or set ZENDRA_RESOURCE_HELPER\n");
    result = run({"--resource-helper", path("none.exe"), path("launcher.exe"), path("app.json"), path("out.exe")});
    EXPECT_EQ(result.err, "zendra-pack: resource helper \"" + path("none.exe") + "\" not found\n");
    {
        const ScopedEnv helper("ZENDRA_RESOURCE_HELPER", path("helper.exe"));
        const ScopedEnv noWine("ZENDRA_WINE", path("no-wine64"));
        result = run({path("launcher.exe"), path("app.json"), path("out.exe")});
        EXPECT_EQ(result.code, 1);
        EXPECT_EQ(result.err, "zendra-pack: adding resources needs Wine to run the helper: \"" + path("no-wine64") +
                                  "\" not found (install wine64 or set ZENDRA_WINE)\n");
    }
    EXPECT_FALSE(std::filesystem::exists(dir_ / "out.exe"));
    // Without resources neither is needed.
    test::writeText(dir_ / "plain.json", R"({"strings": {"launcherType": 2}})");
    EXPECT_EQ(run({path("launcher.exe"), path("plain.json"), path("out.exe")}).code, 0);
}

TEST_F(PackResources, DescriptionErrorsComeBeforeTheHelperIsLookedFor) {
    test::writeText(dir_ / "text.bmp", "not a bitmap at all, really");
    const std::pair<std::string, std::string> cases[] = {
        {R"({"resources": {"splashBitmap": "text.bmp"}})",
         "resources.splashBitmap: not a BMP file (no \"BM\" file header)"},
        {R"({"resources": {"banner": "text.bmp"}})",
         "resources: unknown member \"banner\" (splashBitmap, splashImage, splashIcon, icon)"},
        {R"({"resources": {"icon": 1001}})", "resources.icon: must be a path"},
        {R"({"resources": ["app.ico"]})", "resources: must be an object such as {\"icon\": \"app.ico\"}"},
        {R"({"resources": {"icon": "missing.ico"}})",
         "resources.icon: cannot read \"" + path("missing.ico") + "\""},
    };
    for (const auto& c : cases) {
        test::writeText(dir_ / "bad.json", c.first);
        const ToolRun result = run({path("launcher.exe"), path("bad.json"), path("out.exe")});
        EXPECT_EQ(result.code, 1);
        EXPECT_EQ(result.err, "zendra-pack: " + c.second + "\n");
    }
    EXPECT_EQ(run({"--resource-helper", path("helper.exe"), path("launcher.exe")}).code, 2);
    EXPECT_EQ(run({"--resource-helper", path("launcher.exe"), path("app.json"), path("out.exe")}).code, 2);
}

TEST_F(PackResources, TheHelperGetsTheWholeResourceSetAsFiles) {
    // The stand-in keeps its command line and the data files, then fails like the helper.
    const ScopedEnv wine("ZENDRA_WINE",
                         fakeWine("pwd > " + path("cwd.txt") + "; echo \"$@\" > " + path("args.txt") + "; cp r0.bin " +
                                  path("r0.bin") + "\necho 'fixme:ver:GetCurrentPackageId stub' >&2\n"
                                  "echo 'zendra-rc: EndUpdateResourceW \"target.exe\" failed (error 5)' >&2\nexit 1"));
    const ToolRun result = pack(path("launcher.exe"));
    EXPECT_EQ(result.code, 1);
    EXPECT_EQ(result.err, "zendra-pack: adding resources failed (exit code 1): zendra-rc: EndUpdateResourceW "
                          "\"target.exe\" failed (error 5)\n");
    EXPECT_EQ(test::readText(dir_ / "args.txt"), path("helper.exe") + " target.exe #10 #10000 0 r0.bin\n");
    EXPECT_EQ(test::readText(dir_ / "r0.bin"), "raw\x01\x02\x03\x04");
    const std::string scratch = test::readText(dir_ / "cwd.txt");
    EXPECT_THAT(scratch, HasSubstr("zendra-pack-"));
    EXPECT_FALSE(std::filesystem::exists(scratch.substr(0, scratch.size() - 1))) << "the scratch directory is removed";
    EXPECT_FALSE(std::filesystem::exists(dir_ / "out.exe"));
}

TEST_F(PackResources, AResultWithoutThePlannedResourcesOrEndingBehindTheImageIsRefused) {
    {
        const ScopedEnv wine("ZENDRA_WINE", fakeWine("exit 0"));
        EXPECT_EQ(pack(path("launcher.exe")).err,
                  "zendra-pack: the resource helper did not write rcdata 10000 (language 0) as planned\n");
    }
    {
        const ScopedEnv wine("ZENDRA_WINE", fakeWine("printf x >> \"$2\""));
        EXPECT_EQ(pack(path("launcher.exe")).err,
                  "zendra-pack: after adding the resources the last section ends at 1792 (largest section end 1792), "
                  "not at the end of the file (1793 bytes)\n");
    }
    {
        const ScopedEnv wine("ZENDRA_WINE", fakeWine("kill -9 $$"));
        EXPECT_EQ(pack(path("launcher.exe")).err, "zendra-pack: adding resources failed (signal 9)\n");
    }
    EXPECT_FALSE(std::filesystem::exists(dir_ / "out.exe"));
}

TEST_F(PackResources, AnAcceptedResultIsPackagedAndTheDumpListsItsResources) {
    if (std::string(kResourcePe).empty()) GTEST_SKIP() << "no MinGW windres";
    // The windres-built PE already holds this rcdata, so a helper that changes nothing
    // delivers exactly the planned set.
    const ScopedEnv wine("ZENDRA_WINE", fakeWine("exit 0"));
    const ToolRun packed = pack(kResourcePe);
    ASSERT_EQ(packed.code, 0) << packed.err;
    const ToolRun dump = run({"--dump", path("out.exe")});
    EXPECT_EQ(dump.code, 0);
    EXPECT_THAT(dump.out, HasSubstr("\"launcherType\": 2"));
    EXPECT_THAT(dump.err, HasSubstr("resource: bitmap 10000, language 1031, 2 bytes\n"
                                    "resource: icon 7, language 0, 4 bytes\n"));
    EXPECT_THAT(dump.err, HasSubstr("resource: rcdata 10000, language 0, 7 bytes\n"));
    EXPECT_THAT(dump.err, HasSubstr("resource: group icon 1001, language 0, 20 bytes\nintegrity: flag 1"));
    EXPECT_THAT(dump.err, testing::EndsWith(": matches\n"));
}

}  // namespace
}  // namespace zendra::pack
