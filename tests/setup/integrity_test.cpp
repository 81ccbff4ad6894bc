#include <gtest/gtest.h>

#include <algorithm>
#include <mutex>

#include "fake_jvm_support.h"
#include "jre_archive.h"
#include "pe_image.h"
#include "property_ids.h"
#include "test_pe.h"

namespace zendra::setup {
namespace {

// Records the bar as the check moves it.
class Bar final : public InstallerProgress {
public:
    void setRange(int low, int high) override { ranges.emplace_back(low, high); }
    void setPosition(int position) override { positions.push_back(position); }
    std::vector<std::pair<int, int>> ranges;
    std::vector<int> positions;
};

// One way the appended data may look, and what the check does with it.
struct Case {
    const char* name;
    std::int32_t flag;
    bool checkEnabled;
    int damage;          // 1: the last byte flipped; 2: the last 10 bytes cut off; 3: no record at all
    int exitCode;        // -1: the check passes
};

TEST(IntegrityTest, TheChecksumOverTheAppendedDataDecides) {
    const std::vector<Case> cases{
        {"intact", 1, true, 0, -1},       {"damaged", 1, true, 1, 1},  {"damaged, check off", 1, false, 1, -1},
        {"damaged, no checksum", 0, true, 1, -1}, {"cut short", 1, true, 2, 1}, {"no record", 1, true, 3, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::FakeSystem sys;
        test::enableLog(sys);
        pack::Package package;
        package.integrityFlag = c.flag;
        package.strings = {{prop::errorInternal, "Internal error {0}"}, {prop::includedFileCount, "1"}};
        package.messages = {{prop::msgDataDamaged, u"Data damaged"}, {prop::msgCaption, u"Setup"}};
        package.files = {{"big.bin", std::vector<std::uint8_t>(300000, 7)}};
        std::vector<std::string> notes;
        std::vector<std::uint8_t> exe = pack::packageExecutable(test::minimalPe(), package, notes);
        const std::int64_t covered = static_cast<std::int64_t>(exe.size()) - 1024 - 20;
        if (c.damage == 1) exe.back() ^= 1;
        if (c.damage == 2) exe.resize(exe.size() - 10);
        if (c.damage == 3) exe = test::minimalPe(), exe.resize(2048, 1);
        sys.fs.addFile("c:\\app\\launcher.exe", exe);
        Launcher l{sys.platform, LauncherKind::Setup};
        for (const auto& [id, text] : package.strings) l.store.setProperty(id, text);
        for (const auto& [id, text] : package.messages) l.store.setMessage(id, text);
        Bar bar;
        int exitCode = -1;
        try {
            verifyIntegrity(l, &bar, c.checkEnabled);
        } catch (const test::FakeExit& e) {
            exitCode = e.code;
        }
        EXPECT_EQ(exitCode, c.exitCode);
        const bool boxed = exitCode == 1 && c.damage != 2;
        ASSERT_EQ(sys.ui.boxes.size(), exitCode == 1 ? 1u : 0u);
        if (boxed) EXPECT_EQ(sys.ui.boxes[0].text + u"|" + sys.ui.boxes[0].caption, u"Data damaged|Setup");
        if (c.damage == 2) EXPECT_EQ(test::shownTexts(sys), std::vector<std::string>{"Internal error 34"});
        if (c.damage == 0) {
            const unsigned sum = pack::checksum(exe.data() + 1044, exe.size() - 1044);
            const std::string line = formatText("checksums: %u %u %d %d", sum, sum, int(sum), int(sum));
            EXPECT_TRUE(test::logHasInOrder(sys, l, {"starting at 1024", line}));
            EXPECT_EQ(bar.positions.back(), 100);
            EXPECT_TRUE(std::is_sorted(bar.positions.begin(), bar.positions.end()));
        }
        if (c.damage == 2) {
            const std::string line = formatText("ERROR: check ReadFile failed 0 0 %lld", (long long)covered - 10);
            EXPECT_TRUE(test::logHasInOrder(sys, l, {line}));
        }
        if (!c.checkEnabled) EXPECT_EQ(bar.ranges, (std::vector<std::pair<int, int>>{{100, 400}}));
        if (!c.checkEnabled) EXPECT_EQ(bar.positions, std::vector<int>{101});
    }
}

}  // namespace
}  // namespace zendra::setup
