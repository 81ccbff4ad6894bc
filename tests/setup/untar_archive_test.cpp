#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <mutex>

#include "entry_names.h"
#include "fake_jvm_support.h"
#include "jre_archive.h"
#include "tar_reader.h"

namespace zendra::setup {
namespace {

// The archives that archives.py wrote at build time.
const std::filesystem::path kArchives = ZENDRA_TEST_ARCHIVES;

std::vector<std::uint8_t> archiveBytes(const std::string& name) {
    std::ifstream in(kArchives / (name + ".tar.gz"), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Records the positions the steps give the bar.
class RecordedProgress final : public InstallerProgress {
public:
    void setRange(int low, int high) override {
        std::lock_guard<std::mutex> guard(lock);
        ranges.emplace_back(low, high);
    }
    void setPosition(int position) override {
        std::lock_guard<std::mutex> guard(lock);
        positions.push_back(position);
    }
    std::mutex lock;
    std::vector<std::pair<int, int>> ranges;
    std::vector<int> positions;
};

// One unpacking into c:\work\jre on a fresh fake system.
struct Unpacking {
    Unpacking() {
        test::enableLog(sys);
        sys.fs.addDirectory("c:\\work\\jre");
    }
    // Unpacks the named archive into c:\work\jre; nullopt when the run ended on the fatal path.
    std::optional<bool> untar(const std::string& name, InstallerProgress* dialog = nullptr, std::int64_t size = 0) {
        sys.fs.addFile("c:\\work\\jre.tar.gz", archiveBytes(name));
        try {
            return untarGz(l, "c:\\work\\jre.tar.gz", "c:\\work\\jre", dialog, size);
        } catch (const test::FakeExit&) {
            return std::nullopt;
        }
    }
    // The files below c:\work\jre, and anything new outside it besides the archive and the log.
    std::vector<std::string> filesAndStrays() {
        std::vector<std::string> found;
        const std::string log = test::lowerAscii(l.log.getLogFilePath().value_or(""));
        for (const std::string& path : sys.fs.allPaths()) {
            if (path == log) continue;
            const bool inside = path.rfind("c:\\work\\jre\\", 0) == 0;
            if (inside ? !sys.fs.find(path)->isDirectory
                       : path != "c:\\work" && path != "c:\\work\\jre" && path != "c:\\work\\jre.tar.gz")
                found.push_back(path);
        }
        return found;
    }
    test::FakeSystem sys;
    Launcher l{sys.platform, LauncherKind::Setup};
};

TEST(UntarTest, ArchivesOfEveryWriterFormatUnpackUnderTheirFullNames) {
    const std::string deep = "c:\\work\\jre\\lib\\a-rather-long-directory-name\\a-rather-long-directory-name\\"
                             "a-rather-long-directory-name\\a-rather-long-directory-name\\deep.txt";
    for (const char* name : {"good", "gnu-long-names", "ustar-prefix", "pax-path", "symlink-skipped", "plain-tar",
                             "two-members"}) {
        SCOPED_TRACE(name);
        Unpacking run;
        auto& sys = run.sys;
        EXPECT_EQ(run.untar(name), std::optional<bool>(true));
        EXPECT_EQ(sys.fs.content("c:\\work\\jre\\bin\\java.exe"), "MZ java");
        EXPECT_EQ(sys.fs.content("c:\\work\\jre\\bin\\server\\jvm.dll"), "MZ jvm");
        EXPECT_EQ(sys.fs.content("c:\\work\\jre\\lib\\modules").size(), 1280u);
        const bool longNames = std::string(name) != "plain-tar" && std::string(name) != "two-members";
        EXPECT_EQ(sys.fs.content(deep), longNames ? "deep" : "");
        EXPECT_FALSE(sys.fs.exists("c:\\work\\jre\\bin\\link"));
        EXPECT_TRUE(test::logHasInOrder(sys, run.l, {"extracting bin\\java.exe (size 7)", "untaring JRE was successful"}));
    }
}

TEST(UntarTest, HostileAndDamagedArchivesAreRefusedWithoutWritingAFile) {
    int cases = 0;
    for (const auto& item : std::filesystem::directory_iterator(kArchives)) {
        if (item.path().extension() != ".line") continue;
        const std::string name = item.path().stem().string();
        SCOPED_TRACE(name);
        std::ifstream in(item.path());
        const std::string line((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        Unpacking run;
        EXPECT_NE(run.untar(name), std::optional<bool>(true));
        EXPECT_TRUE(test::logHasInOrder(run.sys, run.l, {"ERROR: " + line})) << line;
        EXPECT_EQ(run.filesAndStrays(), std::vector<std::string>{});
        ++cases;
    }
    EXPECT_GE(cases, 12);
}

TEST(UntarTest, ProgressFollowsTheUncompressedDataOnlyWhenItsSizeIsKnown) {
    RecordedProgress withSize, withoutSize;
    ASSERT_EQ(Unpacking().untar("gnu-long-names", &withSize, 10240), std::optional<bool>(true));
    ASSERT_FALSE(withSize.positions.empty());
    EXPECT_TRUE(std::is_sorted(withSize.positions.begin(), withSize.positions.end()));
    EXPECT_GE(withSize.positions.front(), 100);
    EXPECT_LE(withSize.positions.back(), 200);
    ASSERT_EQ(Unpacking().untar("gnu-long-names", &withoutSize, 0), std::optional<bool>(true));
    EXPECT_TRUE(withoutSize.positions.empty());
}

TEST(TarSizeTest, OctalFieldsBelowTwoGigabytesOnly) {
    const std::vector<std::pair<std::string, std::optional<std::int32_t>>> cases{
        {"00000001750 ", 1000},      {"   1750\0\0\0\0\0", 1000},   {"000000000000", 0},
        {"17777777777\0", 0x7FFFFFFF}, {"20000000000\0", std::nullopt}, {"77777777777\0", std::nullopt},
        {"00000001790\0", std::nullopt}, {"\x80\0\0\0\0\0\0\0\0\0\x10\0", std::nullopt}, {"12 34\0\0\0\0\0\0\0", 10},
    };
    for (const auto& [text, expected] : cases) {
        std::array<std::uint8_t, 12> field{};
        std::copy_n(text.begin(), 12, field.begin());
        EXPECT_EQ(parseTarSize(field), expected) << text;
    }
}

TEST(EntryNameTest, NamesStayBelowTheTargetAndNameNoDevice) {
    const std::vector<std::pair<std::string, std::string>> cases{
        {"./bin//java.exe", "bin\\java.exe"}, {"lib/", "lib"}, {"./", ""}, {"CONFIG.SYS", "CONFIG.SYS"},
        {"lpt0/com10", "lpt0\\com10"},      {"a..b/c", "a..b\\c"},
        {"../x", "!"}, {"a/../../x", "!"}, {"a/ .. /x", "!"}, {"/x", "!"}, {"\\\\srv\\s\\x", "!"}, {"C:\\x", "!"},
        {"a:stream", "!"}, {"bin/con", "!"}, {"aux .txt", "!"}, {"Nul.tar.gz/x", "!"}, {"COM1", "!"},
        {"lpt\xB9", "!"}, {"conout$", "!"}, {"CONIN$.log", "!"},
    };
    for (const auto& [name, expected] : cases) {
        const CheckedName checked = checkEntryName(kWindowsConventions, name);
        EXPECT_EQ(checked.refusal.empty() ? checked.path : "!", expected) << name;
    }
}

}  // namespace
}  // namespace zendra::setup
