#include "included_files.h"
#include "included_names.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "fake_platform.h"
#include "pe_image.h"
#include "property_ids.h"
#include "test_pe.h"

namespace zendra {
namespace {

using test::FakeExit;
using ::testing::HasSubstr;
using ::testing::Not;

// A package whose files are named by properties 2002 and 2003 as given.
pack::Package packageOf(std::vector<pack::IncludedFile> files, const std::string& count, const std::string& names) {
    pack::Package p;
    p.strings = {{prop::includedFileCount, count}, {prop::includedFileNames, names},
                 {prop::errorInternal, "Internal error {0}"}};
    p.files = std::move(files);
    return p;
}

class IncludedFilesTest : public ::testing::Test {
protected:
    IncludedFilesTest() {
        sys.fs.addDirectory("c:\\tmp");
        sys.env.vars = {{"TMP", "c:\\tmp"}, {"ZENDRA_LOG", "yes"}};
    }
    // Packages the launcher with trailing bytes behind it and loads its record.
    void install(const pack::Package& package, const std::string& trailing = "") {
        std::vector<std::string> notes;
        exe = pack::packageExecutable(test::minimalPe(), package, notes);
        exe.insert(exe.end(), trailing.begin(), trailing.end());
        sys.fs.addFile("c:\\app\\launcher.exe", exe);
        loadConfiguration(l, nullptr);
    }
    int exitCodeOf(const std::function<void()>& action) {
        try {
            action();
        } catch (const FakeExit& e) {
            return e.code;
        }
        return -1;
    }
    std::string logText() {
        auto path = l.log.getLogFilePath();
        return path ? sys.fs.content(*path) : std::string();
    }
    std::string file(const std::string& name) { return sys.fs.content(l.launcherTempDir + "\\" + name); }

    test::FakeSystem sys;
    Launcher l{sys.platform, LauncherKind::App};
    std::vector<std::uint8_t> exe;
};

TEST_F(IncludedFilesTest, ExtractsEveryEntryUnmaskedAndRemembersWhereTheDataEnds) {
    std::vector<std::uint8_t> big(2 * 8192 + 5);
    for (std::size_t i = 0; i < big.size(); ++i) big[i] = static_cast<std::uint8_t>(i * 7);
    install(packageOf({{"a.txt", {0x00, 0x5A, 0xA5, 'x'}}, {"lib\\big.dll", big}, {"lib\\c.txt", {'c'}}}, "3",
                      "a.txt;lib\\big.dll;lib\\c.txt"),
            "TAIL");
    ASSERT_EQ(extractIncludedFiles(l, true), 0);
    ASSERT_THAT(l.launcherTempDir, ::testing::StartsWith("c:\\temp\\znd"));
    EXPECT_EQ(file("a.txt"), std::string("\x00\x5A\xA5x", 4));
    EXPECT_EQ(file("lib\\big.dll"), std::string(big.begin(), big.end()));
    EXPECT_EQ(file("lib\\c.txt"), "c");
    EXPECT_EQ(l.unextractedPosition, exe.size() - 4);
    const std::string dir = l.launcherTempDir;
    EXPECT_THAT(logText(), HasSubstr("extracting files\nIncluded files: 3\n"));
    EXPECT_THAT(logText(), HasSubstr("\nextracting " + dir + "\\a.txt (size: 4)\ncreating directory " + dir +
                                     "\\lib\nextracting " + dir + "\\lib\\big.dll (size: 16389)\n"));
    EXPECT_THAT(logText(), HasSubstr("\nextracting files done\n"));
    EXPECT_THAT(logText(), Not(HasSubstr("ERROR")));  // the second "lib" already existed
}

TEST_F(IncludedFilesTest, NoFilesMeansNoDirectoryAndNoPosition) {
    install(packageOf({}, "0", ""));
    l.launcherTempDir = "c:\\stale";
    EXPECT_EQ(extractIncludedFiles(l, false), 0);
    EXPECT_EQ(l.launcherTempDir, "c:\\stale");
    EXPECT_EQ(extractIncludedFiles(l, true), 0);
    EXPECT_EQ(l.launcherTempDir, "");
    EXPECT_EQ(l.unextractedPosition, 0u);
    EXPECT_EQ(sys.fs.createDirectoryCalls, 0);
    EXPECT_THAT(logText(), HasSubstr("Included files: 0\n"));
    EXPECT_THAT(logText(), Not(HasSubstr("extracting files done")));
}

TEST_F(IncludedFilesTest, EmptyEntriesAndEmptyNamesAreSkippedAndTheCountLimitsTheNames) {
    install(packageOf({{"empty.txt", {}}, {"x.dll", {1}}, {"y.dll", {2}}}, "2", ";empty.txt;;x.dll;y.dll"));
    ASSERT_EQ(extractIncludedFiles(l, true), 0);
    EXPECT_FALSE(sys.fs.exists(l.launcherTempDir + "\\empty.txt"));
    EXPECT_EQ(file("x.dll"), "\x01");
    EXPECT_FALSE(sys.fs.exists(l.launcherTempDir + "\\y.dll"));
    EXPECT_EQ(l.unextractedPosition, l.store.configurationEndPosition + 8 + 8 + 1);
    EXPECT_THAT(logText(), HasSubstr("empty.txt (size: 0)\n"));
}

TEST_F(IncludedFilesTest, FewerNamesThanTheCountStillSucceedIntoAnExistingDirectory) {
    install(packageOf({{"a.txt", {'a'}}}, "5", "a.txt"));
    sys.fs.addDirectory("c:\\run");
    l.launcherTempDir = "c:\\run";
    ASSERT_EQ(extractIncludedFiles(l, false), 0);
    EXPECT_EQ(sys.fs.content("c:\\run\\a.txt"), "a");
    EXPECT_EQ(l.launcherTempDir, "c:\\run");
    EXPECT_EQ(l.unextractedPosition, exe.size());
}

TEST_F(IncludedFilesTest, OnlyTheFirstDirectoryLevelIsCreated) {
    install(packageOf({{"a\\b\\c.txt", {'c'}}}, "1", "a\\b\\c.txt"));
    EXPECT_EQ(exitCodeOf([&] { extractIncludedFiles(l, true); }), 1);
    EXPECT_EQ(sys.ui.stderrText.rfind("Internal error 11", 0), 0u);
    EXPECT_THAT(logText(), HasSubstr("\\a\nextracting "));
    EXPECT_FALSE(sys.fs.exists(l.launcherTempDir));  // the fatal end removes the directory
}

TEST_F(IncludedFilesTest, AFailedDirectoryIsLoggedAndTheFileThenCannotBeCreated) {
    install(packageOf({{"d\\x.txt", {'x'}}}, "1", "d\\x.txt"));
    sys.fs.addDirectory("c:\\run");
    l.launcherTempDir = "c:\\run";
    sys.fs.failingDirectories.insert("c:\\run\\d");
    EXPECT_EQ(exitCodeOf([&] { extractIncludedFiles(l, false); }), 1);
    EXPECT_THAT(logText(), HasSubstr("creating directory c:\\run\\d\nERROR: failed to create directory c:\\run\\d\n"));
    EXPECT_EQ(sys.ui.stderrText.rfind("Internal error 11", 0), 0u);
}

TEST_F(IncludedFilesTest, TruncatedDataIsAReadErrorThatNamesTheTarget) {
    std::vector<std::uint8_t> data(100, 7);
    install(packageOf({{"a.bin", data}}, "1", "a.bin"));
    exe.resize(exe.size() - 40);
    sys.fs.addFile("c:\\app\\launcher.exe", exe);
    EXPECT_EQ(extractIncludedFiles(l, true), 1);
    EXPECT_THAT(logText(), HasSubstr("ERROR: ReadFile failed 0 0 60\nERROR: Failed to extract " +
                                     l.launcherTempDir + "\\a.bin\n"));
    EXPECT_EQ(l.unextractedPosition, 0u);
}

TEST_F(IncludedFilesTest, AShortLengthEndsTheRunWithTheRecordMessage) {
    install(packageOf({{"a.bin", {1, 2}}}, "1", "a.bin"));
    exe.resize(l.store.configurationEndPosition + 5);
    sys.fs.addFile("c:\\app\\launcher.exe", exe);
    EXPECT_EQ(exitCodeOf([&] { extractIncludedFiles(l, true); }), 1);
    EXPECT_EQ(sys.ui.stderrText.rfind("Internal Error: readLong", 0), 0u);
}

TEST_F(IncludedFilesTest, NamesThatWouldLeaveTheDirectoryAreRefused) {
    for (const char* name : {"..\\evil.dll", "a\\..\\..\\evil.dll", "sub/../../evil.dll", ".. \\evil.dll",
                             "\\evil.dll", "/evil.dll", "c:\\evil.dll", "c:evil.dll", "x.txt:evil.dll",
                             "evil\\com9.txt", "evil\\NUL"}) {
        test::FakeSystem fresh;
        fresh.fs.addDirectory("c:\\tmp");
        fresh.env.vars = {{"TMP", "c:\\tmp"}, {"ZENDRA_LOG", "yes"}};
        std::vector<std::string> notes;
        fresh.fs.addFile("c:\\app\\launcher.exe",
                         pack::packageExecutable(test::minimalPe(),
                                                 packageOf({{"ok.txt", {'k'}}, {name, {'e'}}}, "2",
                                                           std::string("ok.txt;") + name),
                                                 notes));
        Launcher run{fresh.platform, LauncherKind::App};
        loadConfiguration(run, nullptr);
        int code = -1;
        try {
            extractIncludedFiles(run, true);
        } catch (const FakeExit& e) {
            code = e.code;
        }
        EXPECT_EQ(code, 1) << name;
        EXPECT_EQ(fresh.ui.stderrText.rfind("Internal error 11", 0), 0u) << name;
        for (const std::string& path : fresh.fs.allPaths()) EXPECT_THAT(path, Not(HasSubstr("evil"))) << name;
        EXPECT_THAT(fresh.fs.content(*run.log.getLogFilePath()),
                    HasSubstr("ERROR: refusing included file " + std::string(name)))
            << name;
    }
}

TEST(IncludedFileNames, OrdinaryNamesAreAcceptedAndDeviceNamesRefused) {
    for (const char* name : {"a.txt", "lib\\b.dll", "lib/b.dll", "x..y.txt", "...txt", ".hidden", "a\\.b",
                             "console.txt", "com10.txt", "lpt0", "auxiliary", "nul_x", "conx\\a.txt"}) {
        EXPECT_EQ(unsafeIncludedName(name), nullptr) << name;
    }
    for (const char* name : {"CON", "prn.txt", "Aux.tar.gz", "nul .x", "COM1", "lpt9.log", "sub/conin$",
                             "CONOUT$.txt", "com\xb9.txt", "a\\LPT3", "con\\ok.txt"}) {
        EXPECT_STREQ(unsafeIncludedName(name), "device name") << name;
    }
}

// A target that takes at most `step` bytes per write and fails after `limit` bytes in all.
class StingyFile final : public File {
public:
    StingyFile(std::size_t step, std::size_t limit) : step_(step), limit_(limit) {}
    IoResult read(void*, std::size_t) override { return {0, 0, true}; }
    IoResult write(const void* buffer, std::size_t size) override {
        if (data.size() >= limit_) return {0, 112, false};
        const std::size_t n = std::min({size, step_, limit_ - data.size()});
        const auto* bytes = static_cast<const std::uint8_t*>(buffer);
        data.insert(data.end(), bytes, bytes + n);
        return {n, 0, true};
    }
    bool seek(std::uint64_t) override { return true; }
    std::uint64_t position() override { return data.size(); }
    std::optional<std::uint64_t> size() override { return data.size(); }
    std::vector<std::uint8_t> data;

private:
    std::size_t step_;
    std::size_t limit_;
};

TEST_F(IncludedFilesTest, CopyingRepeatsShortWritesAndReportsFailedOnes) {
    MemoryFile source(std::vector<std::uint8_t>(10000, 0x5A));
    StingyFile slow(3000, SIZE_MAX);
    EXPECT_EQ(copyDescrambled(l, source, slow, 10000, false), 0);
    EXPECT_EQ(slow.data, std::vector<std::uint8_t>(10000, 0x5A));

    source.seek(0);
    StingyFile full(4096, 9000);
    EXPECT_EQ(copyDescrambled(l, source, full, 10000, true), 2);
    EXPECT_EQ(full.data, std::vector<std::uint8_t>(9000, 0));
    EXPECT_THAT(logText(), HasSubstr("ERROR: WriteFile failed 1000 112\n"));

    StingyFile none(1, 0);
    EXPECT_EQ(copyDescrambled(l, source, none, 0, true), 0);
    EXPECT_EQ(copyDescrambled(l, source, none, -5, true), 0);
}

}  // namespace
}  // namespace zendra
