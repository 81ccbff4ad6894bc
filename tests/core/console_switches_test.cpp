#include "console_switches.h"

#include <gtest/gtest.h>

#include "fake_platform.h"
#include "property_ids.h"

namespace zendra {
namespace {

using Lines = std::vector<std::string>;

class ConsoleSwitchesTest : public ::testing::Test {
protected:
    // Runs the walk; the exit code when it ended the process, -1 otherwise.
    int walk(const ArgumentList& args) {
        try {
            applyConsoleSwitches(l, args);
        } catch (const test::FakeExit& e) {
            return e.code;
        }
        return -1;
    }
    test::FakeSystem sys;
    Launcher l{sys.platform, LauncherKind::App};
};

TEST_F(ConsoleSwitchesTest, WithoutEitherPropertyNoSwitchCounts) {
    EXPECT_EQ(walk({u"app.exe", u"-q", u"-c", u"-console"}), -1);
    EXPECT_TRUE(l.errorDisplayMode);
    EXPECT_TRUE(sys.desktop.calls.empty());
}

TEST_F(ConsoleSwitchesTest, PropertyConsoleSwitchAloneHonoursOnlyConsole) {
    l.store.setProperty(prop::consoleSwitch, "1");
    EXPECT_EQ(walk({u"app.exe", u"-q", u"-c", u"-console"}), -1);
    EXPECT_TRUE(l.errorDisplayMode);
    EXPECT_EQ(sys.desktop.calls, (Lines{"attach", "allocate", "reopen streams"}));
}

TEST_F(ConsoleSwitchesTest, QuietSwitchSendsErrorsToStandardErrorWithoutConsole) {
    l.store.setProperty(prop::quietSwitches, "1");
    EXPECT_EQ(walk({u"app.exe", u"file.txt", u"-q"}), -1);
    EXPECT_FALSE(l.errorDisplayMode);
    EXPECT_TRUE(sys.desktop.calls.empty());
}

TEST_F(ConsoleSwitchesTest, SwitchesAreExactAndCaseSensitive) {
    l.store.setProperty(prop::quietSwitches, "1");
    EXPECT_EQ(walk({u"-Q", u"-C", u"-Console", u"--console", u"-q ", u"/c"}), -1);
    EXPECT_TRUE(l.errorDisplayMode);
    EXPECT_TRUE(sys.desktop.calls.empty());
}

TEST_F(ConsoleSwitchesTest, ConsoleThenConsoleAndQuietRequestsTwiceAndStopsAtTheSecond) {
    l.store.setProperty(prop::quietSwitches, "1");
    sys.desktop.attachResult = ConsoleAttach::Attached;
    sys.process.consoleCodePage = 850;
    EXPECT_EQ(walk({u"app.exe", u"-console", u"-c", u"-console"}), -1);
    EXPECT_FALSE(l.errorDisplayMode);
    // The second request finds the console already there; the walk ends at "-c".
    EXPECT_EQ(sys.desktop.calls, (Lines{"attach", "reopen streams", "attach"}));
    EXPECT_EQ(l.consoleOutputCodePage, 850u);
}

TEST_F(ConsoleSwitchesTest, ConsoleSwitchIgnoresAFailureAndTheWalkGoesOn) {
    l.store.setProperty(prop::consoleSwitch, "1");
    sys.desktop.allocateFails = true;
    EXPECT_EQ(walk({u"-console", u"-console"}), -1);
    EXPECT_EQ(sys.desktop.calls, (Lines{"attach", "allocate", "attach", "allocate"}));
    EXPECT_TRUE(sys.ui.boxes.empty());
}

TEST_F(ConsoleSwitchesTest, NoConsoleForCShowsTheBoxAndEndsWithOne) {
    l.store.setProperty(prop::quietSwitches, "1");
    sys.desktop.allocateFails = true;
    sys.fs.addFile("c:\\tmp\\run\\included.txt", "x");
    l.launcherTempDir = "c:\\tmp\\run";
    int owner = 0;
    l.errorOwnerWindow = &owner;
    EXPECT_EQ(walk({u"app.exe", u"-c", u"-q"}), 1);
    ASSERT_EQ(sys.ui.boxes.size(), 1u);
    EXPECT_EQ(sys.ui.boxes[0].text, u"Error: Could not allocate console.");
    EXPECT_EQ(sys.ui.boxes[0].caption, u"quillon");
    EXPECT_EQ(sys.ui.boxes[0].owner, nullptr);  // a box without owner, even though errors go to stderr now
    EXPECT_TRUE(sys.ui.stderrText.empty());
    EXPECT_FALSE(sys.fs.exists("c:\\tmp\\run"));  // the fatal path removes the per-run directory
}

TEST_F(ConsoleSwitchesTest, WithoutConsolesToAttachOnlyTheQuietSwitchCounts) {
    sys.platform.conventions = &kPosixConventions;
    l.store.setProperty(prop::quietSwitches, "1");
    sys.desktop.allocateFails = true;
    struct Case {
        ArgumentList args;
        bool boxes;
    };
    for (const Case& c : {Case{{u"app", u"-c", u"-console"}, true}, Case{{u"app", u"-console", u"-q", u"-c"}, false}}) {
        l.errorDisplayMode = true;
        EXPECT_EQ(walk(c.args), -1);
        EXPECT_EQ(l.errorDisplayMode, c.boxes);
    }
    EXPECT_TRUE(sys.desktop.calls.empty());
    EXPECT_TRUE(sys.ui.boxes.empty());
}

}  // namespace
}  // namespace zendra
