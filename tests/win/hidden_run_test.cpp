// Hidden child processes: standard error into a file, exit codes, time-outs, start failures.
#include <gtest/gtest.h>

#include "test_directory.h"
#include "test_doubles.h"
#include "win32.h"
#include "win_process_services.h"

namespace zendra::win {
namespace {

using test::readRawFile;

class HiddenRunTest : public ::testing::Test {
protected:
    // The java.exe double in the test directory with the given cfg, quoted for a command line.
    std::string java(const std::string& cfg) {
        const std::string path = test::installJavaDouble(dir.path(), "java.exe", cfg);
        EXPECT_FALSE(path.empty()) << "ZENDRA_JAVA_DOUBLE is not set or cannot be copied";
        return "\"" + path + "\"";
    }

    WinProcessServices process;
    test::TestDirectory dir;
    const std::string errors = dir.file("stderr.txt");
};

TEST_F(HiddenRunTest, StandardErrorLandsInTheFileAndTheExitCodePasses) {
    test::writeRawFile(errors, std::string(500, 'x'));  // replaced, not overwritten in place
    const std::string command = java("stderr=openjdk version \"17.0.15\" 2025-04-15\nstderr=second line\nexit=3\n") +
                                " -version";
    const ChildRun run = process.runHidden(command, errors, 20000);
    EXPECT_TRUE(run.started);
    EXPECT_EQ(run.error, 0u);
    EXPECT_EQ(run.exitCode, 3u);
    EXPECT_FALSE(run.terminated);
    EXPECT_EQ(readRawFile(errors), "openjdk version \"17.0.15\" 2025-04-15\r\nsecond line\r\n");
    // The child saw the command line unchanged.
    EXPECT_EQ(readRawFile(dir.file("java-double.runs")), command + "\r\n");
}

TEST_F(HiddenRunTest, StandardOutputGoesNowhere) {
    const ChildRun run = process.runHidden("cmd.exe /c \"echo to-out& echo to-err 1>&2\"", errors, 20000);
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, 0u);
    const std::string written = readRawFile(errors);
    EXPECT_NE(written.find("to-err"), std::string::npos) << written;
    EXPECT_EQ(written.find("to-out"), std::string::npos) << written;
}

TEST_F(HiddenRunTest, RunsWithoutAnErrorFile) {
    const ChildRun run = process.runHidden("cmd.exe /c exit 42", std::nullopt, 20000);
    EXPECT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, 42u);
    EXPECT_FALSE(run.terminated);
}

TEST_F(HiddenRunTest, AnErrorFileThatCannotBeCreatedDoesNotStopTheChild) {
    const ChildRun run = process.runHidden(java("stderr=lost\nexit=5\n") + " -version",
                                           dir.file("missing\\stderr.txt"), 20000);
    EXPECT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, 5u);
}

TEST_F(HiddenRunTest, AHangingChildIsTerminatedAfterTheTimeOut) {
    const std::string command = java("stderr=too late\ndelay_ms=60000\n") + " -version";
    const ULONGLONG start = ::GetTickCount64();
    const ChildRun run = process.runHidden(command, errors, 300);
    const ULONGLONG elapsed = ::GetTickCount64() - start;
    EXPECT_TRUE(run.started);
    EXPECT_TRUE(run.terminated);
    EXPECT_EQ(run.exitCode, static_cast<std::uint32_t>(STILL_ACTIVE));
    EXPECT_GE(elapsed, 250u);
    EXPECT_LT(elapsed, 10000u);
    EXPECT_EQ(readRawFile(errors), "");
    // The child is gone, so nothing holds the file any more (Wine may release the killed
    // child's handles a moment after the process object is signalled).
    bool deleted = false;
    for (int attempt = 0; attempt < 40 && !deleted; ++attempt) {
        deleted = ::DeleteFileA(errors.c_str()) != 0;
        if (!deleted) ::Sleep(50);
    }
    EXPECT_TRUE(deleted) << ::GetLastError();
}

TEST_F(HiddenRunTest, AMissingProgramIsNotStarted) {
    const ChildRun run = process.runHidden("\"" + dir.file("no-such-java.exe") + "\" -version", errors, 1000);
    EXPECT_FALSE(run.started);
    EXPECT_EQ(run.error, static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
    EXPECT_FALSE(run.terminated);
}

}  // namespace
}  // namespace zendra::win
