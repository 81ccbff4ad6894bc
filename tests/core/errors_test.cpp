#include "errors.h"

#include <gtest/gtest.h>

#include "fake_platform.h"
#include "paths.h"
#include "property_ids.h"

namespace zendra {
namespace {

using test::FakeExit;

class ErrorsTest : public ::testing::Test {
protected:
    ErrorsTest() { sys.fs.addDirectory("c:\\tmp"); }
    int exitCodeOf(const std::function<void()>& action) {
        try {
            action();
        } catch (const FakeExit& e) {
            return e.code;
        }
        ADD_FAILURE() << "no exit";
        return -1;
    }
    test::FakeSystem sys;
    Launcher l{sys.platform, LauncherKind::App};
};

TEST(ReplacePlaceholder, ReplacesOnlyTheFirst) {
    EXPECT_EQ(replacePlaceholder("a {0} b {0}", "X"), "a X b {0}");
    EXPECT_EQ(replacePlaceholder("Error code {0}", "16"), "Error code 16");
    EXPECT_EQ(replacePlaceholder("no placeholder", "16"), "no placeholder");
}

TEST_F(ErrorsTest, StandardErrorModeAppendsTheLogPath) {
    sys.env.vars = {{"ZENDRA_LOG", "yes"}, {"TMP", "c:\\tmp"}};
    l.errorDisplayMode = false;
    l.store.setProperty(prop::errorMainClass, "Main class not found.");
    l.log.message("something");
    EXPECT_EQ(exitCodeOf([&] { fatalPropertyWithArgument(l, prop::errorMainClass); }), 1);
    EXPECT_EQ(sys.ui.stderrText, "Main class not found.\n\nLog: c:\\tmp\\qln_nlog_1\n");
    EXPECT_TRUE(sys.ui.boxes.empty());
}

TEST_F(ErrorsTest, ShowingTheLogPathKeepsAnInstallerLog) {
    Launcher setup{sys.platform, LauncherKind::Setup};
    sys.env.vars = {{"TMP", "c:\\tmp"}};
    setup.errorDisplayMode = false;
    setup.log.message("x");
    showError(setup, "failed");
    sys.process.runExitHandlers();
    EXPECT_TRUE(sys.fs.exists("c:\\tmp\\qln_nlog_1"));
}

TEST_F(ErrorsTest, MessageBoxModeUsesTheCaptionPropertyAndOwner) {
    int owner = 0;
    l.errorOwnerWindow = &owner;
    l.store.setProperty(prop::errorCaption, "My App");
    l.store.setProperty(prop::errorInternal, "Internal error {0}");
    showPropertyError(l, prop::errorInternal, "16");
    ASSERT_EQ(sys.ui.boxes.size(), 1u);
    EXPECT_EQ(sys.ui.boxes[0].text, u"Internal error 16");
    EXPECT_EQ(sys.ui.boxes[0].caption, u"My App");
    EXPECT_EQ(sys.ui.boxes[0].owner, &owner);
    EXPECT_EQ(sys.ui.boxes[0].style, BoxStyle::ErrorOk);
}

TEST_F(ErrorsTest, BeforeTheRecordIsLoadedTheCaptionIsEmpty) {
    EXPECT_EQ(exitCodeOf([&] { fatalMessage(l, "Internal Error: magic"); }), 1);
    ASSERT_EQ(sys.ui.boxes.size(), 1u);
    EXPECT_EQ(sys.ui.boxes[0].caption, u"");
    EXPECT_EQ(sys.ui.boxes[0].text, u"Internal Error: magic");
}

TEST_F(ErrorsTest, WideErrorsUseTheMessageCaption) {
    l.store.setMessage(prop::msgCaption, u"Setup \u4e2d");
    l.store.setMessage(prop::msgDataDamaged, u"Damaged \u4e2d");
    EXPECT_EQ(exitCodeOf([&] { fatalMessageProperty(l, prop::msgDataDamaged); }), 1);
    ASSERT_EQ(sys.ui.boxes.size(), 1u);
    EXPECT_TRUE(sys.ui.boxes[0].wide);
    EXPECT_EQ(sys.ui.boxes[0].text, u"Damaged \u4e2d");
    EXPECT_EQ(sys.ui.boxes[0].caption, u"Setup \u4e2d");
    l.errorDisplayMode = false;
    showErrorW(l, u"wide");
    EXPECT_EQ(sys.ui.stderrWide, u"wide\n");
}

TEST_F(ErrorsTest, SplashIsHiddenBeforeTheErrorIsShown) {
    std::vector<std::string> order;
    l.hideSplash = [&] { order.push_back(sys.ui.boxes.empty() ? "hidden first" : "hidden late"); };
    showError(l, "x");
    EXPECT_EQ(order, (std::vector<std::string>{"hidden first"}));
}

TEST_F(ErrorsTest, FatalExitRemovesThePerRunDirectoryButNotDeeperNonEmptyOnes) {
    l.launcherTempDir = "c:\\tmp\\run";
    sys.fs.addFile("c:\\tmp\\run\\a.dll", "a");
    sys.fs.addFile("c:\\tmp\\run\\lib\\b.jar", "b");
    sys.fs.addFile("c:\\tmp\\run\\lib\\deep\\c.txt", "c");
    EXPECT_EQ(exitCodeOf([&] { fatalExit(l, 83); }), 83);
    EXPECT_FALSE(sys.fs.exists("c:\\tmp\\run\\a.dll"));
    EXPECT_FALSE(sys.fs.exists("c:\\tmp\\run\\lib\\b.jar"));
    EXPECT_TRUE(sys.fs.exists("c:\\tmp\\run\\lib\\deep\\c.txt"));

    Launcher flat{sys.platform, LauncherKind::App};
    flat.launcherTempDir = "c:\\tmp\\flat";
    sys.fs.addFile("c:\\tmp\\flat\\lib\\b.jar", "b");
    EXPECT_EQ(exitCodeOf([&] { fatalExit(flat, 1); }), 1);
    EXPECT_FALSE(sys.fs.exists("c:\\tmp\\flat"));
}

}  // namespace
}  // namespace zendra
