#include "log.h"

#include <gtest/gtest.h>

#include <thread>

#include "fake_platform.h"

namespace zendra {
namespace {

class LogTest : public ::testing::Test {
protected:
    LogTest() {
        sys.fs.addDirectory("c:\\tmp");
        sys.env.vars["TMP"] = "c:\\tmp";
        sys.process.moduleA = "c:\\app\\launcher.exe";
    }
    std::vector<std::string> logFiles() {
        std::vector<std::string> out;
        for (const auto& p : sys.fs.allPaths())
            if (p.find("qln_nlog") != std::string::npos) out.push_back(p);
        return out;
    }
    test::FakeSystem sys;
};

TEST_F(LogTest, OnRequestLogWritesNothingUnlessAsked) {
    for (const char* value : {"YES", "yes ", "no", ""}) {
        sys.env.vars["ZENDRA_LOG"] = value;
        DiagnosticLog log(sys.platform, LogPolicy::OnRequest);
        log.message("hello");
        EXPECT_FALSE(log.getLogFilePath().has_value()) << value;
    }
    EXPECT_TRUE(logFiles().empty());
}

TEST_F(LogTest, EitherVariableWithExactlyYesRequestsALog) {
    for (const char* name : {"ZENDRA_LOG", "QUILLON_LOG"}) {
        test::FakeSystem fresh;
        fresh.env.vars[name] = "yes";
        DiagnosticLog log(fresh.platform, LogPolicy::OnRequest);
        log.message("x");
        EXPECT_TRUE(log.getLogFilePath().has_value()) << name;
    }
}

TEST_F(LogTest, HeaderThenEmptyLineThenOneLinePerCall) {
    sys.env.vars["ZENDRA_LOG"] = "yes";
    sys.clock.seconds = 0;
    DiagnosticLog log(sys.platform, LogPolicy::OnRequest);
    log.message("value %d", 42);
    log.error("broke %s", "here");
    auto path = log.getLogFilePath();
    ASSERT_TRUE(path.has_value());
    EXPECT_EQ(*path, "c:\\tmp\\qln_nlog_1");
    const std::string text = sys.fs.content(*path);
    const std::string header = "Started executable c:\\app\\launcher.exe at " + ctimeText(0) + "\n";
    EXPECT_EQ(text, header + "value 42\nERROR: broke here\n");
    EXPECT_EQ(ctimeText(0).back(), '\n');
}

TEST_F(LogTest, SwitchRequestsTheLogAndNamesSkipExistingFiles) {
    sys.fs.addFile("c:\\tmp\\qln_nlog_1", "old");
    sys.fs.addFile("c:\\tmp\\qln_nlog_2", "old");
    // Another launcher takes the third name just as this one would create it.
    sys.fs.beforeCreate = [this](const std::string& path) {
        if (path == "c:\\tmp\\qln_nlog_3" && !sys.fs.exists(path)) sys.fs.addFile(path, "other");
    };
    DiagnosticLog log(sys.platform, LogPolicy::OnRequest);
    log.setSwitchGiven();
    log.message("x");
    EXPECT_EQ(log.getLogFilePath(), "c:\\tmp\\qln_nlog_4");
    EXPECT_EQ(sys.fs.content("c:\\tmp\\qln_nlog_1"), "old");
    EXPECT_EQ(sys.fs.content("c:\\tmp\\qln_nlog_3"), "other");
}

TEST_F(LogTest, MissingTmpDirectoryFallsBackToDriveC) {
    sys.env.vars["TMP"] = "c:\\no\\such\\dir";
    sys.env.vars["ZENDRA_LOG"] = "yes";
    DiagnosticLog log(sys.platform, LogPolicy::OnRequest);
    log.message("x");
    EXPECT_EQ(log.getLogFilePath(), "c:\\qln_nlog_1");
}

TEST_F(LogTest, InstallerLogIsDeletedAtNormalExitUnlessShown) {
    {
        DiagnosticLog log(sys.platform, LogPolicy::Always);
        log.message("x");
        ASSERT_EQ(logFiles().size(), 1u);
        sys.process.runExitHandlers();
        EXPECT_TRUE(logFiles().empty());
    }
    sys.process.exitHandlers.clear();
    DiagnosticLog shown(sys.platform, LogPolicy::Always);
    shown.message("x");
    shown.getLogFilePath();
    sys.process.runExitHandlers();
    EXPECT_EQ(logFiles().size(), 1u);
}

// The installer's entry ends (and its log object with it) before the C library runs the exit
// list; under AddressSanitizer a handler that reached into the object would fail here.
TEST_F(LogTest, ExitHandlerDeletesTheLogAfterItsOwnerHasGone) {
    {
        DiagnosticLog log(sys.platform, LogPolicy::Always);
        log.message("x");
    }
    ASSERT_EQ(logFiles().size(), 1u);
    sys.process.runExitHandlers();
    EXPECT_TRUE(logFiles().empty());
}

TEST_F(LogTest, RequestedInstallerLogIsNeverDeleted) {
    sys.env.vars["QUILLON_LOG"] = "yes";
    DiagnosticLog log(sys.platform, LogPolicy::Always);
    log.message("x");
    EXPECT_TRUE(sys.process.exitHandlers.empty());
}

TEST_F(LogTest, UnwritableTempNameFallsBackToTheFixedPath) {
    sys.env.vars["ZENDRA_LOG"] = "yes";
    sys.fs.unwritableFiles.insert("c:\\tmp\\qln_nlog_1");
    DiagnosticLog log(sys.platform, LogPolicy::OnRequest);
    log.message("line");
    EXPECT_EQ(log.getLogFilePath(), "c:\\qln_nlog");
    EXPECT_NE(sys.fs.content("c:\\qln_nlog").find("line\n"), std::string::npos);
}

TEST_F(LogTest, UnopenableLogRetriesTheFixedPathOnEveryLineAndIsNamedOnlyOnceItExists) {
    sys.env.vars["ZENDRA_LOG"] = "yes";
    sys.fs.unwritableFiles = {"c:\\tmp\\qln_nlog_1", "c:\\qln_nlog"};
    DiagnosticLog log(sys.platform, LogPolicy::OnRequest);
    log.message("lost");
    EXPECT_EQ(log.getLogFilePath(), std::nullopt);
    sys.fs.unwritableFiles.clear();
    log.message("kept");
    EXPECT_EQ(sys.fs.content("c:\\qln_nlog"), "kept\n");
    EXPECT_EQ(log.getLogFilePath(), "c:\\qln_nlog");
}

TEST_F(LogTest, LinesFromManyThreadsStayWhole) {
    sys.env.vars["ZENDRA_LOG"] = "yes";
    DiagnosticLog log(sys.platform, LogPolicy::OnRequest);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&log, t] {
            for (int i = 0; i < 50; ++i) log.message("thread %d line %d", t, i);
        });
    for (auto& th : threads) th.join();
    const std::string text = sys.fs.content(*log.getLogFilePath());
    std::size_t lines = 0;
    for (char c : text) lines += c == '\n';
    EXPECT_EQ(lines, 2u + 200u);
}

}  // namespace
}  // namespace zendra
