#include "launcher.h"

#include <gtest/gtest.h>

#include "fake_platform.h"
#include "pe_image.h"
#include "property_ids.h"
#include "test_pe.h"

namespace zendra {
namespace {

using test::FakeExit;

class LauncherTest : public ::testing::Test {
protected:
    LauncherTest() {
        sys.fs.addDirectory("c:\\tmp");
        sys.env.vars["TMP"] = "c:\\tmp";
    }
    void install(const pack::Package& package) {
        std::vector<std::string> notes;
        sys.fs.addFile("c:\\app\\launcher.exe", pack::packageExecutable(test::minimalPe(), package, notes));
    }
    int exitCodeOf(const std::function<void()>& action) {
        try {
            action();
        } catch (const FakeExit& e) {
            return e.code;
        }
        return -1;
    }
    test::FakeSystem sys;
    Launcher l{sys.platform, LauncherKind::App};
};

TEST_F(LauncherTest, ZeroCountsReadAsEmptyAndSendErrorsToStandardError) {
    install({});
    ArgumentList args{u"launcher.exe"};
    EXPECT_EQ(loadConfiguration(l, &args), 0);
    EXPECT_FALSE(l.errorDisplayMode);
    EXPECT_EQ(l.store.getProperty(prop::applicationName), "");
    EXPECT_EQ(l.store.configurationEndPosition, 1024u + 4 + 4 + 4 + 8 + 4 + 4 + 4);
}

TEST_F(LauncherTest, GuiLauncherTypesKeepMessageBoxes) {
    for (const char* type : {"1", "5"}) {
        test::FakeSystem fresh;
        std::vector<std::string> notes;
        pack::Package p;
        p.strings = {{prop::launcherType, type}};
        fresh.fs.addFile("c:\\app\\launcher.exe", pack::packageExecutable(test::minimalPe(), p, notes));
        Launcher gui{fresh.platform, LauncherKind::App};
        EXPECT_EQ(loadConfiguration(gui, nullptr), std::stoi(type));
        EXPECT_TRUE(gui.errorDisplayMode);
    }
}

TEST_F(LauncherTest, LanguageBlocksFollowTheUserLocale) {
    pack::Package p;
    p.messages = {{20013, u"Setup"}, {20016, u"Damaged"}};
    p.languages = {{"de", {{20013, u"Einrichtung"}, {20016, u"Besch\u00e4digt"}}}, {"de_AT", {{20013, u"Setup AT"}}}};
    install(p);
    sys.process.lcid = 3079;
    loadConfiguration(l, nullptr);
    EXPECT_EQ(l.language.code, "de_AT");
    EXPECT_EQ(l.store.getMessage(20013), u"Setup AT");
    EXPECT_EQ(l.store.getMessage(20016), u"Besch\u00e4digt");
}

TEST_F(LauncherTest, EndPositionPointsAtTheIncludedFiles) {
    pack::Package p;
    p.files = {{"a.txt", {1, 2, 3}}};
    p.languages = {{"fr", {{1, u"x"}}}};
    install(p);
    loadConfiguration(l, nullptr);
    const std::string exe = sys.fs.content("c:\\app\\launcher.exe");
    const std::size_t end = l.store.configurationEndPosition;
    ASSERT_EQ(exe.size(), end + 8 + 3);
    EXPECT_EQ(exe[end], 3);
    EXPECT_EQ(static_cast<unsigned char>(exe[end + 8]), 1 ^ 0x5A);
}

TEST_F(LauncherTest, MissingRecordEndsWithTheFixedTexts) {
    auto bare = test::minimalPe();
    sys.fs.addFile("c:\\app\\launcher.exe", bare);
    EXPECT_EQ(exitCodeOf([&] { loadConfiguration(l, nullptr); }), 1);
    ASSERT_EQ(sys.ui.boxes.size(), 1u);
    EXPECT_EQ(sys.ui.boxes[0].text, u"Internal Error: readInt");

    test::FakeSystem other;
    bare.resize(bare.size() + 16, 0x11);
    other.fs.addFile("c:\\app\\launcher.exe", bare);
    Launcher l2{other.platform, LauncherKind::App};
    l2.errorDisplayMode = false;
    EXPECT_EQ(exitCodeOf([&] { loadConfiguration(l2, nullptr); }), 1);
    EXPECT_EQ(other.ui.stderrText, "Internal Error: magic\n");
}

TEST_F(LauncherTest, UnopenableExecutableAsksForAnAsciiPath) {
    EXPECT_EQ(exitCodeOf([&] { loadConfiguration(l, nullptr); }), 1);
    ASSERT_EQ(sys.ui.boxes.size(), 1u);
    EXPECT_EQ(sys.ui.boxes[0].text,
              u"Error opening media file. Please move this file to an ascii-only path like c:\\");
}

TEST_F(LauncherTest, InitTakesTheLogSwitchOnlyAsFirstArgument) {
    install({});
    ArgumentList args{u"launcher.exe", u"-create-qln-log", u"-create-qln-log", u"x"};
    launcherInit(l, &args);
    EXPECT_EQ(args, (ArgumentList{u"launcher.exe", u"-create-qln-log", u"x"}));
    EXPECT_TRUE(l.log.getLogFilePath().has_value());
    ASSERT_EQ(sys.ui.boxes.size(), 1u);
    EXPECT_EQ(sys.ui.boxes[0].style, BoxStyle::QuestionYesNo);
    EXPECT_EQ(test::narrow(sys.ui.boxes[0].text),
              "The following log file will be created:\n\nc:\\tmp\\qln_nlog_1\n\nDo you want to open an Explorer window?");
    EXPECT_EQ(sys.ui.boxes[0].caption, u"quillon");
    EXPECT_TRUE(sys.process.started.empty());

    test::FakeSystem other;
    other.fs.addFile("c:\\app\\launcher.exe", sys.fs.content("c:\\app\\launcher.exe"));
    Launcher l2{other.platform, LauncherKind::App};
    ArgumentList second{u"launcher.exe", u"x", u"/create-znd-log"};
    launcherInit(l2, &second);
    EXPECT_EQ(second.size(), 3u);
    EXPECT_FALSE(l2.log.getLogFilePath().has_value());
}

TEST_F(LauncherTest, LogPromptYesOpensExplorerOnTheLog) {
    pack::Package p;
    p.strings = {{prop::productFlavour, "zendra"}};
    install(p);
    sys.ui.answer = BoxAnswer::Yes;
    ArgumentList args{u"launcher.exe", u"/create-qln-log"};
    launcherInit(l, &args);
    EXPECT_EQ(sys.ui.boxes.at(0).caption, u"zendra");
    EXPECT_EQ(sys.process.started, (std::vector<std::string>{"c:\\windows\\explorer.exe /select,c:\\tmp\\qln_nlog_1"}));
    EXPECT_NE(sys.fs.content("c:\\tmp\\qln_nlog_1").find("calling c:\\windows\\explorer.exe"), std::string::npos);
}

TEST_F(LauncherTest, FlavourAndWorkingDirectory) {
    pack::Package p;
    p.strings = {{prop::productFlavour, "quillon"}, {prop::workingDirectory, "..\\Data"}};
    install(p);
    sys.fs.addDirectory("c:\\Data");
    launcherInit(l, nullptr);
    EXPECT_EQ(l.productTitle, "quillon");
    EXPECT_TRUE(isQuillonFlavour(l));
    EXPECT_EQ(sys.fs.currentDirectory, "c:\\Data");

    test::FakeSystem restart;
    restart.fs.addFile("c:\\app\\launcher.exe", sys.fs.content("c:\\app\\launcher.exe"));
    Launcher l2{restart.platform, LauncherKind::App};
    l2.languageRestart = true;
    launcherInit(l2, nullptr);
    EXPECT_EQ(restart.fs.currentDirectory, "c:\\work");
}

TEST_F(LauncherTest, UnknownFlavourLetterTitlesQuillonButIsNotQuillon) {
    pack::Package p;
    p.strings = {{prop::productFlavour, "other"}};
    install(p);
    launcherInit(l, nullptr);
    EXPECT_EQ(l.productTitle, "quillon");
    EXPECT_FALSE(isQuillonFlavour(l));
}

}  // namespace
}  // namespace zendra
