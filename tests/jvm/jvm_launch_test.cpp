// Each test starts the JVM driver on one case (one VM per process) and compares how the
// process ended, what it wrote and what the Java test classes recorded with what the launch
// must produce.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <sstream>

#include "child_process.h"
#include "jvm_cases.h"

namespace zendra::jvmtest {
namespace {

using Lines = std::vector<std::string>;
using Properties = std::map<std::string, std::string>;

const std::string kExe = kExecutable;
const std::string kDir = kExecutableDir;
const std::string kApp = ZT_CLASSES_APP;
const std::string kControllerText = "Status été ✓ 日本 😀";

// An error text as the launcher shows it on standard error: the diagnostic log is named.
std::string shown(const std::string& text) { return text + "\n\nLog: c:\\temp\\qln_nlog_1\n"; }

// The lines of text, without their line feeds.
Lines splitLines(const std::string& text) {
    Lines lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

// The first count lines of text (missing ones empty) and the text behind them.
std::pair<Lines, std::string> leadingLines(const std::string& text, std::size_t count) {
    Lines lines;
    std::size_t at = 0;
    while (lines.size() < count) {
        const std::size_t end = text.find('\n', at);
        lines.push_back(text.substr(at, end == std::string::npos ? std::string::npos : end - at));
        at = end == std::string::npos ? text.size() : end + 1;
    }
    return {lines, text.substr(at)};
}

// Whether every expected line appears in lines, in this order (others may lie between).
bool hasInOrder(const Lines& lines, const Lines& expected) {
    auto at = lines.begin();
    for (const std::string& want : expected) {
        at = std::find(at, lines.end(), want);
        if (at == lines.end()) return false;
        ++at;
    }
    return true;
}

// PATH as the launch leaves it: the native library directories, the host's PATH, the runtime's bin.
std::string launchPath(bool nativeDirectories) {
    const std::string prefix = nativeDirectories ? kDir + "\\lib;" + kDir + "\\..\\common;" : "";
    return prefix + kHostPath + ";" + kJavaBin;
}

// The properties every case's configuration produces.
Properties baseProperties(const std::string& scenario) {
    return {{"java.class.path", ":" + kApp + ":"},
            {"java.library.path", launchPath(true)},
            {"sun.java.command", kExe},
            {"user.language", "en"},
            {"zendra.consoleCodepage", "cp" + std::to_string(kConsoleCodePage)},
            {"zendra.moduleName", kExe},
            {"zendra.tempDir", kLauncherTempDir},
            {"zendra.unextractedPosition", std::to_string(kUnextractedPosition)},
            {"zt.fromFile", "line with spaces"},
            {"zt.hash", "a # b"},
            {"zt.note", "a b ü"},
            {"zt.scenario", scenario}};
}

// The lines a launcher class records: its argument array, then the properties by name.
Lines launchRecord(const std::string& who, const Lines& arguments, const Properties& properties) {
    Lines lines{who + " main: " + std::to_string(arguments.size()) + " args"};
    for (std::size_t i = 0; i < arguments.size(); ++i) lines.push_back("arg " + std::to_string(i) + "=" + arguments[i]);
    for (const auto& [name, value] : properties) lines.push_back("prop " + name + "=" + value);
    return lines;
}

// The argument array of a configuration without launch paths and configured arguments.
const Lines kPlainArguments{"false", "com.example.Main", "", "", "false", "launcher"};

Lines concat(Lines first, const Lines& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

// The VM options of the zendra_arguments case in the order the VM must get them.
Lines zendraVmOptions(const Properties& props) {
    return {"vmoption count 16",
            "vmoption 0: -Dzendra.semaphoreName=" + std::string(kSemaphoreName),
            "vmoption 1: -Dzendra.moduleName=" + kExe,
            "vmoption 2: -Dsun.java.command=" + kExe,
            "vmoption 3: -Dzendra.processCommFile=" + props.at("zendra.processCommFile"),
            "vmoption 4: -Dzendra.tempDir=" + std::string(kLauncherTempDir),
            "vmoption 5: -Dzendra.unextractedPosition=" + std::to_string(kUnextractedPosition),
            "vmoption 6: -Djava.library.path=" + launchPath(true),
            "vmoption 7: -Dzendra.consoleCodepage=cp" + std::to_string(kConsoleCodePage),
            "vmoption 8: -Dzt.note=a b ü",
            "vmoption 9: -Dzt.scenario=record",
            "vmoption 10: -Xcheck:jni",
            "vmoption 11: -Dzt.fromJ=yes",
            "vmoption 12: -Dsun.locale.formatasdefault=true",
            "vmoption 13: -Dzt.fromFile=line with spaces",
            "vmoption 14: -Dzt.hash=a # b",
            "vmoption 15: -Djava.class.path=:" + kApp + ":"};
}

class JvmLaunch : public ::testing::Test {
protected:
    void SetUp() override {
        std::string pattern = (std::filesystem::temp_directory_path() / "zendra-jvm-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override {
        if (HasFailure())
            std::cerr << "kept " << dir_ << "\n";
        else
            std::filesystem::remove_all(dir_);
    }
    // Runs the driver on a case in a clean environment with a UTF-8 locale.
    ChildResult run(const std::string& name) {
        const std::vector<std::string> env{"LC_ALL=C.UTF-8", std::string(kRecordVariable) + "=" + dir_ + "/record.txt",
                                           std::string(kLogVariable) + "=" + dir_ + "/log.txt"};
        ChildResult result = runChild({ZT_DRIVER, name}, env, dir_, 90);
        EXPECT_FALSE(result.timedOut) << name << " did not end";
        EXPECT_EQ(result.signal, 0) << name << " ended by a signal\n" << result.err;
        return result;
    }
    Lines record() const { return splitLines(readFile(dir_ + "/record.txt")); }
    Lines log() const { return splitLines(readFile(dir_ + "/log.txt")); }

private:
    std::string dir_;
};

TEST_F(JvmLaunch, ZendraLauncherClassGetsTheArgumentArrayAndPropertiesExactly) {
    const ChildResult r = run("zendra_arguments");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");
    Properties props = baseProperties("record");
    props["zendra.processCommFile"] = std::string(kSystemTempDir) + "\\znd_p" + std::to_string(kProcessId) + ".tmp";
    props["zendra.semaphoreName"] = kSemaphoreName;
    props["zt.fromJ"] = "yes";
    props["sun.locale.formatasdefault"] = "true";
    const Lines arguments{"false", "com.example.Main", kDir + "\\data\\first file.txt", "${NOT_DEFINED}\\second",
                          "true", "launcher", "-first", "two words", "wörd", "plain", "two words",
                          "ünïcödé ✓ 日本 😀", "C:\\Users\\Jörg Ö\\file name.txt"};
    EXPECT_EQ(record(), concat(launchRecord("zendra", arguments, props),
                               {"zendra main returns", "native: launchProgram returned true"}));
    // The order in which the VM got its options shows only in the log.
    const Lines options = zendraVmOptions(props);
    const Lines logLines = log();
    const auto first = std::find(logLines.begin(), logLines.end(), options.front());
    ASSERT_GE(logLines.end() - first, static_cast<long>(options.size()));
    EXPECT_EQ(Lines(first, first + static_cast<long>(options.size())), options);
}

TEST_F(JvmLaunch, QuillonLauncherClassGetsTheInstallerProperties) {
    const ChildResult r = run("quillon_arguments");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");
    Properties props = baseProperties("record");
    props.erase("zendra.consoleCodepage");  // MANPATH is set
    props["java.library.path"] = launchPath(false);  // a language restart keeps the inherited PATH
    props["zendra.isQuillon"] = "true";
    props["zendra.manualJre"] = "true";
    props["zendra.unextractedPosition"] = "-1";
    props["sun.locale.formatasdefault"] = "false";
    props["user.language"] = "de";
    props["user.country"] = "AT";
    const Lines arguments{"true", "com.example.Quill", "", "", "false", kExe, "-J-Xmx1g", "x"};
    EXPECT_EQ(record(), concat(launchRecord("quillon", arguments, props),
                               {"quillon main returns", "native: launchProgram returned true"}));
}

TEST_F(JvmLaunch, SystemExitEndsTheProcessWithItsStatus) {
    const ChildResult r = run("exit_status");
    EXPECT_EQ(r.exitCode, 7);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(record(), concat(launchRecord("zendra", kPlainArguments, baseProperties("exit7")),
                               {"zendra exits with 7"}));
}

TEST_F(JvmLaunch, ExceptionFromMainShowsTheTraceThenTheVmStartTextAndExitsWithOne) {
    const ChildResult r = run("main_throws");
    EXPECT_EQ(r.exitCode, 1);
    const auto [trace, rest] = leadingLines(r.err, 3);
    EXPECT_EQ(trace[0], "Exception in thread \"main\" java.lang.IllegalStateException: boom from zendra");
    EXPECT_EQ(trace[1].rfind("\tat zt.Record.play(Record.java:", 0), 0u) << trace[1];
    EXPECT_EQ(trace[2].rfind("\tat com.zendra.runtime.WinLauncher.main(WinLauncher.java:", 0), 0u) << trace[2];
    EXPECT_EQ(rest, shown(kTextVmStart));
    EXPECT_EQ(record(), concat(launchRecord("zendra", kPlainArguments, baseProperties("throw")),
                               {"native: launchProgram returned false"}));
    EXPECT_TRUE(hasInOrder(log(), {"calling main", "main returned", "ERROR: an exception occured",
                                   "ERROR: could not call main"}));
    EXPECT_FALSE(hasInOrder(log(), {"dest JVM"}));
}

TEST_F(JvmLaunch, DestroyingTheVmWaitsForTheApplicationsThreads) {
    const ChildResult r = run("non_daemon_thread");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(record(), concat(launchRecord("zendra", kPlainArguments, baseProperties("thread")),
                               {"zendra main returns", "worker thread ends", "native: launchProgram returned true"}));
    EXPECT_TRUE(hasInOrder(log(), {"main returned", "dest JVM", "launch done"}));
}

TEST_F(JvmLaunch, VmThatCannotBeCreatedShowsTheVmStartText) {
    const ChildResult r = run("vm_creation_fails");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, "Invalid maximum heap size: -XX:MaxHeapSize=abc\n" + shown(kTextVmStart));
    EXPECT_EQ(record(), Lines{"native: launchProgram returned false"});
    EXPECT_TRUE(hasInOrder(log(), {"Creating JVM", "ERROR: could not initialize JVM"}));
}

TEST_F(JvmLaunch, MissingLauncherClassOrMainShowTheirTexts) {
    ChildResult r = run("launcher_class_missing");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, shown(kTextMainClass));
    EXPECT_EQ(record(), Lines{});
    EXPECT_TRUE(hasInOrder(log(), {"main class: com/zendra/runtime/WinLauncher", "ERROR: could not find main class"}));

    r = run("main_method_missing");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, shown(kTextMainMethod));
    EXPECT_EQ(record(), Lines{});
    EXPECT_TRUE(hasInOrder(log(), {"ERROR: could not find main method"}));
}

// What the quillon service launcher of the first-run cases passes on.
Lines firstRunLaunch(const std::string& answer) {
    Properties props = baseProperties("record");
    props["java.class.path"] = kDir + "\\.quillon\\qlnruntime.jar;:" + kApp + ":";
    props["zendra.isQuillon"] = "true";
    props["zendra.isService"] = "true";
    props["zt.firstRun"] = answer;
    return launchRecord("quillon", kPlainArguments, props);
}

TEST_F(JvmLaunch, FirstRunAnsweringTrueGoesOnToMain) {
    const ChildResult r = run("first_run_true");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(record(), concat(concat({"firstRun asked, answers true"}, firstRunLaunch("true")),
                               {"quillon main returns", "native: launchProgram returned true"}));
}

TEST_F(JvmLaunch, FirstRunAnsweringFalseStopsBeforeMainAndCountsAsSuccess) {
    const ChildResult r = run("first_run_false");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(record(), (Lines{"firstRun asked, answers false", "native: launchProgram returned true"}));
    EXPECT_TRUE(hasInOrder(log(), {"checkFirstRun stopped further execution", "launch done"}));
}

TEST_F(JvmLaunch, FirstRunThrowingPrintsTheTraceAndStopsBeforeMain) {
    const ChildResult r = run("first_run_throws");
    EXPECT_EQ(r.exitCode, 0);
    const auto [trace, rest] = leadingLines(r.err, 2);
    EXPECT_EQ(trace[0], "Exception in thread \"main\" java.lang.IllegalStateException: first run failed");
    EXPECT_EQ(trace[1].rfind("\tat com.quillon.runtime.launcher.FirstRun.firstRun(FirstRun.java:", 0), 0u) << trace[1];
    EXPECT_EQ(rest, "");
    EXPECT_EQ(record(), (Lines{"firstRun asked, answers throw", "native: launchProgram returned true"}));
    EXPECT_TRUE(hasInOrder(log(), {"checkFirstRun stopped further execution"}));
}

TEST_F(JvmLaunch, FirstRunClassOrMethodMissingIsAnInternalError) {
    ChildResult r = run("first_run_class_missing");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, shown("Internal error 14."));
    EXPECT_EQ(record(), Lines{});

    r = run("first_run_method_missing");
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_EQ(r.err, shown("Internal error 15."));
    EXPECT_EQ(record(), Lines{});
}

TEST_F(JvmLaunch, AnAttachedSplashThreadDoesNotKeepTheVmFromEnding) {
    // The splash thread attaches as a daemon: ending the VM after main does not wait for it,
    // so the launch returns while that thread is still attached (a non-daemon one would make
    // both wait for each other until the thread gives up).
    const ChildResult r = run("controller_stays_attached");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.out, "before VM: none\ncontroller usable\naction 0\naction 1\naction 2\ntext none\ntext " +
                         kControllerText + "\nlaunch returned while attached\ndetached\n");
}

TEST_F(JvmLaunch, ControllerAnswersReachASecondNativeThread) {
    const ChildResult r = run("controller");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "before VM: none\ncontroller usable\naction 0\naction 1\naction 2\ntext none\ntext " +
                         kControllerText + "\ndetached\n");
    EXPECT_EQ(record(), concat(launchRecord("zendra", kPlainArguments, baseProperties("controller")),
                               {"getAction on another thread answers 0", "getAction on another thread answers 1",
                                "getAction on another thread answers 2", "getText answers null",
                                "getText answers " + kControllerText, "zendra main returns",
                                "native: launchProgram returned true"}));
}

TEST_F(JvmLaunch, ControllerThatThrowsOnceIsReportedOnceAndPollingGoesOn) {
    const ChildResult r = run("controller_throws");
    EXPECT_EQ(r.exitCode, 0);
    const auto [trace, rest] = leadingLines(r.err, 2);
    EXPECT_EQ(trace[0].rfind("Exception in thread \"", 0), 0u) << r.err;
    EXPECT_TRUE(trace[0].ends_with("\" java.lang.IllegalStateException: controller failed")) << r.err;
    EXPECT_EQ(trace[1].rfind("\tat com.zendra.runtime.ZendraController.getAction(ZendraController.java:", 0), 0u) << r.err;
    EXPECT_EQ(rest, "");
    EXPECT_EQ(r.out, "before VM: none\ncontroller usable\naction 0\naction 1\naction 2\ntext none\ntext " +
                         kControllerText + "\ndetached\n");
    Properties props = baseProperties("controller");
    props["zt.controllerThrows"] = "true";
    EXPECT_EQ(record(), concat(launchRecord("zendra", kPlainArguments, props),
                               {"getAction throws", "getAction on another thread answers 1",
                                "getAction on another thread answers 2", "getText answers null",
                                "getText answers " + kControllerText, "zendra main returns",
                                "native: launchProgram returned true"}));
}

TEST_F(JvmLaunch, RuntimeLibrarySplashRequestsReachTheNativePoller) {
    const ChildResult r = run("library_splash");
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.out, "before VM: none\ncontroller usable\ntext " + kControllerText + "\ntext second\nhide\ndetached\n");
}

}  // namespace
}  // namespace zendra::jvmtest
