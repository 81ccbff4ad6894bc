#include "process_windows.h"

#include <gtest/gtest.h>

#include "fake_platform.h"
#include "property_ids.h"

namespace zendra {
namespace {

using Lines = std::vector<std::string>;

class ProcessWindowsTest : public ::testing::Test {
protected:
    ProcessWindowsTest() {
        sys.fs.addDirectory("c:\\tmp");
        sys.env.vars = {{"TMP", "c:\\tmp"}, {"ZENDRA_LOG", "yes"}};
    }
    // The non-empty log lines after the header.
    Lines logLines() {
        const std::string text = sys.fs.content("c:\\tmp\\qln_nlog_1");
        Lines lines;
        std::size_t start = 0;
        while (start < text.size()) {
            std::size_t end = text.find('\n', start);
            if (end == std::string::npos) end = text.size();
            if (end > start) lines.push_back(text.substr(start, end - start));
            start = end + 1;
        }
        if (!lines.empty()) lines.erase(lines.begin());  // "Started executable ..."
        return lines;
    }
    std::string found(const std::string& name) { return formatText("found window %p", desktop.window(name).handle); }

    test::FakeSystem sys;
    test::FakeDesktop& desktop = sys.desktop;
    Launcher l{sys.platform, LauncherKind::App};
    const std::uint32_t self = sys.process.pid;
};

// --- the console window and counting -------------------------------------------------------

TEST_F(ProcessWindowsTest, ConsoleExecutableFindsItsConsoleWindowAndLeavesItOutOfTheCount) {
    desktop.console = u"C:\\app\\launcher.exe";
    desktop.addWindow("console", self);
    desktop.setConsoleWindow("console");
    desktop.addWindow("other", 99);
    EXPECT_EQ(countProcessWindows(l, self), 0);
    EXPECT_EQ(desktop.calls, (Lines{"title 100000/4711", "sleep 40", "title C:\\app\\launcher.exe", "enumerate"}));
    EXPECT_EQ(desktop.console, std::optional<std::u16string>(u"C:\\app\\launcher.exe"));
    EXPECT_EQ(l.consoleWindow, desktop.window("console").handle);

    // The first application window makes the count 1; the lookup is not repeated.
    desktop.addWindow("main", self);
    desktop.calls.clear();
    EXPECT_EQ(countProcessWindows(l, self), 1);
    EXPECT_EQ(desktop.calls, Lines{"enumerate"});
    EXPECT_EQ(desktop.titleLookups, 1);
}

TEST_F(ProcessWindowsTest, OnlyVisibleWindowsOfTheProcessCount) {
    desktop.addWindow("a", self);
    desktop.addWindow("hidden", self).visible = false;
    desktop.addWindow("minimised", self).minimised = true;
    desktop.addWindow("foreign", 12);
    EXPECT_EQ(countProcessWindows(l, self), 2);
    EXPECT_EQ(countProcessWindows(l, 12), 1);
    EXPECT_EQ(countProcessWindows(l, 13), 0);
}

TEST_F(ProcessWindowsTest, GuiExecutableMakesNoTitleLookup) {
    l.store.setProperty(prop::launcherType, "1");
    desktop.console = u"cmd";
    desktop.addWindow("console", self);
    desktop.setConsoleWindow("console");
    EXPECT_EQ(countProcessWindows(l, self), 1);
    EXPECT_EQ(desktop.titleLookups, 0);
    EXPECT_EQ(desktop.calls, Lines{"enumerate"});
    EXPECT_EQ(findConsoleWindow(l), nullptr);
}

TEST_F(ProcessWindowsTest, WithoutConsoleTitleEveryWindowCounts) {
    desktop.addWindow("a", self);
    EXPECT_EQ(findConsoleWindow(l), nullptr);  // no console at all
    EXPECT_EQ(desktop.calls, Lines{});

    Launcher emptyTitle{sys.platform, LauncherKind::App};
    desktop.console = u"";
    EXPECT_EQ(countProcessWindows(emptyTitle, self), 1);
    EXPECT_EQ(desktop.calls, Lines{"enumerate"});
}

TEST_F(ProcessWindowsTest, FailedRetitlingLeavesNoConsoleWindow) {
    desktop.console = u"cmd";
    desktop.consoleTitleFails = true;
    desktop.addWindow("console", self);
    desktop.setConsoleWindow("console");
    EXPECT_EQ(countProcessWindows(l, self), 1);
    EXPECT_EQ(desktop.calls, (Lines{"title 100000/4711", "enumerate"}));  // no wait, nothing to restore
    EXPECT_EQ(l.consoleWindow, nullptr);
}

TEST_F(ProcessWindowsTest, NoWindowWithTheTemporaryTitleStillRestoresTheTitle) {
    desktop.console = u"Console \u4e2d";  // restored as it was, not through the ANSI code page
    desktop.ticks = 7;
    desktop.addWindow("a", self);
    EXPECT_EQ(findConsoleWindow(l), nullptr);
    EXPECT_EQ(desktop.calls, (Lines{"title 7/4711", "sleep 40", "title Console ?"}));
    EXPECT_EQ(desktop.console, std::optional<std::u16string>(u"Console \u4e2d"));
    EXPECT_EQ(countProcessWindows(l, self), 1);
    EXPECT_EQ(desktop.titleLookups, 1);
}

// --- activation ----------------------------------------------------------------------------

TEST_F(ProcessWindowsTest, ActivationRestoresAndRaisesEveryVisibleWindowInOrder) {
    desktop.addWindow("first", self).minimised = true;
    desktop.addWindow("foreign", 5);
    desktop.addWindow("hidden", self).visible = false;
    desktop.addWindow("second", self);
    desktop.addWindow("dialog", self).visible = false;  // reached only as the popup of "second"
    desktop.window("second").lastPopup = desktop.window("dialog").handle;

    activateProcessWindows(l, self, true);
    EXPECT_EQ(desktop.calls, (Lines{"enumerate", "restore first", "foreground first", "foreground first",
                                    "foreground second", "foreground dialog"}));
    EXPECT_EQ(logLines(), (Lines{found("first"), "restore", "foreground", "popup", "done",
                                 found("second"), "foreground", "popup", "done"}));
    EXPECT_FALSE(desktop.window("first").minimised);
}

TEST_F(ProcessWindowsTest, WithoutRestoreAMinimisedWindowStaysMinimisedButIsRaised) {
    desktop.addWindow("w", self).minimised = true;
    activateProcessWindows(l, self, false);
    EXPECT_EQ(desktop.calls, (Lines{"enumerate", "foreground w", "foreground w"}));
    EXPECT_EQ(logLines(), (Lines{found("w"), "foreground", "popup", "done"}));
    EXPECT_TRUE(desktop.window("w").minimised);
}

TEST_F(ProcessWindowsTest, ActivationWithoutVisibleWindowsLogsNothing) {
    desktop.addWindow("hidden", self).visible = false;
    desktop.addWindow("foreign", 5);
    activateProcessWindows(l, self, true);
    EXPECT_EQ(desktop.calls, Lines{"enumerate"});
    EXPECT_FALSE(l.log.getLogFilePath().has_value());
}

// --- console attachment --------------------------------------------------------------------

TEST_F(ProcessWindowsTest, AttachingToTheParentConsoleReopensTheStreams) {
    desktop.attachResult = ConsoleAttach::Attached;
    sys.process.consoleCodePage = 850;
    EXPECT_TRUE(attachConsole(l));
    EXPECT_EQ(desktop.calls, (Lines{"attach", "reopen streams"}));
    EXPECT_EQ(l.consoleOutputCodePage, 850u);
}

TEST_F(ProcessWindowsTest, AProcessWithAConsoleKeepsIt) {
    desktop.console = u"cmd";
    sys.process.consoleCodePage = 437;
    EXPECT_TRUE(attachConsole(l));
    EXPECT_EQ(desktop.calls, Lines{"attach"});  // no second console, streams left alone
    EXPECT_EQ(l.consoleOutputCodePage, 437u);
}

TEST_F(ProcessWindowsTest, WithoutParentConsoleOrAttachCallANewConsoleIsAllocated) {
    for (ConsoleAttach result : {ConsoleAttach::Failed, ConsoleAttach::Unavailable}) {
        test::FakeSystem fresh;
        Launcher launcher{fresh.platform, LauncherKind::App};
        fresh.desktop.attachResult = result;
        fresh.process.consoleCodePage = 65001;
        EXPECT_TRUE(attachConsole(launcher));
        EXPECT_EQ(fresh.desktop.calls, (Lines{"attach", "allocate", "reopen streams"}));
        EXPECT_EQ(launcher.consoleOutputCodePage, 65001u);
    }
}

TEST_F(ProcessWindowsTest, NoConsoleAtAllIsReported) {
    desktop.allocateFails = true;
    sys.process.consoleCodePage = 850;
    EXPECT_FALSE(attachConsole(l));
    EXPECT_EQ(desktop.calls, (Lines{"attach", "allocate"}));
    EXPECT_EQ(l.consoleOutputCodePage, 0u);
}

// --- restart -------------------------------------------------------------------------------

TEST_F(ProcessWindowsTest, RebootWaitsEnablesTheShutdownPrivilegeAndRestartsSilently) {
    rebootSystem(l);
    EXPECT_EQ(desktop.calls, (Lines{"sleep 5000", "privilege SeShutdownPrivilege", "restart"}));
    EXPECT_FALSE(sys.fs.exists("c:\\tmp\\qln_nlog_1"));
}

TEST_F(ProcessWindowsTest, RebootWithoutThePrivilegeDoesNotAskForARestart) {
    desktop.privilegeGranted = false;
    rebootSystem(l);
    EXPECT_EQ(desktop.calls, (Lines{"sleep 5000", "privilege SeShutdownPrivilege"}));
    EXPECT_TRUE(sys.ui.boxes.empty());
}

TEST(RebootRequest, OnlyTheExactMarker) {
    EXPECT_TRUE(isRebootRequest("__qln_reboot"));
    EXPECT_FALSE(isRebootRequest("__qln_reboot "));
    EXPECT_FALSE(isRebootRequest(" __qln_reboot"));
    EXPECT_FALSE(isRebootRequest("__qln_reboot now"));
    EXPECT_FALSE(isRebootRequest("__QLN_REBOOT"));
    EXPECT_FALSE(isRebootRequest(""));
}

}  // namespace
}  // namespace zendra
