#include "setup_flow.h"

#include <gtest/gtest.h>

#include "install_marks.h"
#include "installer_harness.h"
#include "window_watcher.h"

namespace zendra::setup {
namespace {

using test::FakeExit;
using test::FakeJvm;

constexpr std::uint32_t kPid = 4711;
const std::string kOwnMark = "InstallStarted_4711";

// The installer launcher over a packed record, a runtime found by the search and a fake VM.
struct SetupHarness : test::InstallerHarness {
    SetupHarness() {
        sys.fs.addDirectory("c:\\temp");
        sys.env.vars["PATH"] = "c:\\windows";
    }
    void install(const std::string& searchSequence, std::map<std::int32_t, std::string> extra = {}) {
        extra.emplace(prop::productFlavour, "zendra");
        package(searchSequence,
                {{prop::msgCaption, u"Setup"}, {prop::msgInterruptedQuestion, u"Interrupted?"},
                 {prop::msgProgressInitial, u"Preparing"}, {prop::msgWindowTimeout, u"Too slow"}},
                extra);
        test::addJre(sys, "c:\\jre");
        sys.libraries.libraries["c:\\jre\\bin\\server\\jvm.dll"].exports["JNI_CreateJavaVM"] = FakeJvm::createEntry();
    }
    std::uint32_t markOf(const std::string& name) { return readMark(l, name); }
};

class SetupFlowTest : public ::testing::Test, public SetupHarness {};

// The steps of a quiet run, in order, with the runtime of the search and the global mark left
// for the installer to clear.
TEST_F(SetupFlowTest, QuietRunLogsItsStepsInOrderAndLeavesTheGlobalMark) {
    install("Bc:\\jre");
    EXPECT_EQ(run(u"-q"), 0);
    EXPECT_EQ(jvm.count("DestroyJavaVM"), 1);
    EXPECT_EQ(jvm.mainArguments.back(), u"-q");
    const std::string log = logText();
    std::size_t at = 0;
    for (const char* line : {"Init done\n", "Quiet installer.\n", "Starting work\n", "Current working dir: c:\\temp\\",
                             "Full JRE path: c:\\temp\\", "No JRE included\n", "Loading of JVM-DLL successful\n"}) {
        const std::size_t found = log.find(line, at);
        ASSERT_NE(found, std::string::npos) << line << " after " << at << " in\n" << log;
        at = found;
    }
    EXPECT_EQ(markOf(kInstallStarted), 1u);
    EXPECT_EQ(markOf(kOwnMark), 0u);
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"common controls"}));
}

// With the progress dialog the work runs through it, both marks are set before the launch,
// the bar covers 0..400 and the watcher waits for the installer's window.
TEST_F(SetupFlowTest, DialogRunSetsBothMarksAndStartsTheWatcher) {
    install("Bc:\\jre");
    EXPECT_EQ(run(u""), 0);
    EXPECT_EQ(ui.calls, (std::vector<std::string>{"common controls", "dialog class", "progress dialog"}));
    EXPECT_EQ(l.errorOwnerWindow, ui.dialog.window());
    EXPECT_EQ(ui.dialog.positions.front(), 1);
    EXPECT_EQ(ui.dialog.calls.front(), "range 0 400");
    EXPECT_EQ(markOf(kInstallStarted), 1u);
    EXPECT_EQ(markOf(kOwnMark), 1u);
    ASSERT_EQ(ui.watchers.size(), 1u);
    sys.desktop.addWindow("progress", kPid);
    sys.desktop.addWindow("installer", kPid);
    ui.watchers[0]();
    EXPECT_EQ(markOf(kOwnMark), 0u);
    EXPECT_EQ(ui.dialog.calls.back(), "hide");
}

TEST(SetupSwitchesTest, SwitchesSetTheRunFlags) {
    struct Case {
        std::vector<std::u16string> args;
        bool quiet, splash, check, manual, boxes;
    };
    const Case cases[] = {
        {{u"-q"}, true, false, true, false, false},
        {{u"-splash", u"-nocheck"}, false, true, false, false, true},
        {{u"-manual"}, false, false, true, true, true},
        {{u"/manual", u"-Q"}, false, false, true, true, true},
        {{u"-console", u"-c"}, true, false, true, false, false},
    };
    for (const Case& c : cases) {
        test::FakeSystem sys;
        test::FakeInstallerUi ui;
        Launcher l{sys.platform, LauncherKind::Setup};
        SetupRun run(l, ui);
        ArgumentList args{u"setup.exe"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        applySetupSwitches(run, args);
        EXPECT_EQ(std::vector<bool>({run.quiet, run.splashWanted, run.integrityCheck, run.manualChoice, l.errorDisplayMode}),
                  std::vector<bool>({c.quiet, c.splash, c.check, c.manual, c.boxes}))
            << test::narrow(c.args[0]);
    }
}

// The bar from each progress start, every fifth 100 ms pass, until the window shows.
TEST(WindowWatcherTest, BarStepsTowardsThreeNinetyFromEachStart) {
    struct Case {
        int start;
        std::vector<int> positions;
    };
    for (const Case& c : {Case{100, {175, 250, 325, 390, 390}}, Case{200, {250, 300, 350, 390, 390}},
                          Case{300, {325, 350, 375, 390, 390}}}) {
        test::FakeSystem sys;
        Launcher l{sys.platform, LauncherKind::Setup};
        test::FakeProgressDialog dialog;
        sys.desktop.addWindow("progress", kPid);
        sys.sync.afterSleeps(25, [&] { sys.desktop.addWindow("installer", kPid); });
        setMark(l, kOwnMark);
        watchForInstallerWindow(l, dialog, c.start);
        EXPECT_EQ(dialog.positions, c.positions) << c.start;
        EXPECT_EQ(sys.sync.sleeps, 25);
        EXPECT_EQ(readMark(l, kOwnMark), 0u);
    }
}

TEST(WindowWatcherTest, PerProcessValueTwoEndsTheWaitAndTheTimeOutNeedsValueOne) {
    test::FakeSystem sys;
    Launcher l{sys.platform, LauncherKind::Setup};
    test::FakeProgressDialog dialog;
    const std::vector<std::uint8_t> two{2, 0, 0, 0};
    sys.sync.afterSleeps(3, [&] { sys.registry.setValue(Hive::CurrentUser, kMarksKey, kOwnMark, RegType::Dword, two); });
    watchForInstallerWindow(l, dialog, 100);
    EXPECT_EQ(sys.sync.sleeps, 3);
    EXPECT_EQ(dialog.calls, (std::vector<std::string>{"hide"}));

    setMark(l, kOwnMark);
    try {
        watchForInstallerWindow(l, dialog, 100);
        FAIL() << "no time-out";
    } catch (const FakeExit& e) {
        EXPECT_EQ(e.code, 1);
    }
    EXPECT_EQ(sys.sync.sleeps, 3 + 2399);
    ASSERT_EQ(sys.ui.boxes.size(), 1u);
}

}  // namespace
}  // namespace zendra::setup
