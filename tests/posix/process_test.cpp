#include <fcntl.h>

#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "posix_process_services.h"
#include "posix_test_support.h"

namespace zendra::posix {
namespace {

using test::ScopedEnv;
using test::TempDir;
using test::inChild;
using test::readFile;

// The processes (zombies included) whose parent is parent, from /proc.
std::vector<pid_t> childrenOf(pid_t parent) {
    std::vector<pid_t> children;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string stat = readFile(entry.path().string() + "/stat");
        const std::size_t close = stat.rfind(')');
        if (close == std::string::npos) continue;
        char state = 0;
        int ppid = 0;
        if (std::sscanf(stat.c_str() + close + 1, " %c %d", &state, &ppid) == 2 && ppid == parent)
            children.push_back(static_cast<pid_t>(std::stoi(stat)));
    }
    return children;
}

class RunHiddenTest : public ::testing::Test {
protected:
    TempDir dir;
    PosixProcessServices process;
};

TEST_F(RunHiddenTest, ReportsTheExitStatusAndADeathBySignal) {
    ChildRun run = process.runHidden("/bin/sh -c 'exit 7'", std::nullopt, 10000);
    EXPECT_TRUE(run.started);
    EXPECT_FALSE(run.terminated);
    EXPECT_EQ(run.exitCode, 7u);
    run = process.runHidden("/bin/sh -c 'kill -TERM $$'", std::nullopt, 10000);
    EXPECT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, 128u + SIGTERM);
    run = process.runHidden("true", std::nullopt, 0xFFFFFFFFu);  // found along PATH, no time limit
    EXPECT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, 0u);
}

TEST_F(RunHiddenTest, StandardErrorGoesIntoAFreshFileAndStandardOutputNowhere) {
    const std::string file = dir / "stderr.txt";
    test::writeFile(file, "old content that must go away");
    const ChildRun run = process.runHidden("/bin/sh -c 'echo out; echo \"version 17\" >&2; read x; echo \"[$x]\" >&2'",
                                           file, 10000);
    ASSERT_TRUE(run.started);
    EXPECT_EQ(run.exitCode, 0u);
    EXPECT_EQ(readFile(file), "version 17\n[]\n");
}

TEST_F(RunHiddenTest, QuotedArgumentsWithBlanksArriveIntact) {
    const std::string file = dir / "args.txt";
    const ChildRun run = process.runHidden(
        "/bin/sh -c 'for a in \"$@\"; do printf \"<%s>\" \"$a\" >&2; done' sh \"two words\" 'single quoted' \"caf\xC3\xA9\" plain",
        file, 10000);
    ASSERT_TRUE(run.started);
    EXPECT_EQ(readFile(file), "<two words><single quoted><caf\xC3\xA9><plain>");
}

TEST_F(RunHiddenTest, TheTimeOutKillsTheChildAndItsGroupWithinTheLimit) {
    const std::string file = dir / "stderr.txt";
    const auto start = std::chrono::steady_clock::now();
    ChildRun run = process.runHidden("sleep 5", std::nullopt, 300);
    auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_TRUE(run.started);
    EXPECT_TRUE(run.terminated);
    EXPECT_EQ(run.exitCode, 1u);
    EXPECT_LT(elapsed, std::chrono::seconds(2));

    // A grandchild ends with it: the whole process group is killed.
    run = process.runHidden("/bin/sh -c '(sleep 1; echo late >&2) & wait'", file, 300);
    EXPECT_TRUE(run.terminated);
    std::this_thread::sleep_for(std::chrono::milliseconds(1300));
    EXPECT_EQ(readFile(file), "");
}

TEST_F(RunHiddenTest, AProgramThatCannotStartReportsErrno) {
    ChildRun run = process.runHidden("/nonexistent/program -version", dir / "e.txt", 1000);
    EXPECT_FALSE(run.started);
    EXPECT_EQ(run.error, static_cast<std::uint32_t>(ENOENT));
    test::writeFile(dir / "plain", "no program");
    run = process.runHidden("\"" + dir / "plain" + "\"", std::nullopt, 1000);
    EXPECT_FALSE(run.started);
    EXPECT_EQ(run.error, static_cast<std::uint32_t>(EACCES));
    run = process.runHidden("   ", std::nullopt, 1000);
    EXPECT_FALSE(run.started);
    EXPECT_NE(run.error, 0u);
}

TEST_F(RunHiddenTest, StartProcessDoesNotWaitAndLeavesNoZombie) {
    const std::string marker = dir / "marker";
    std::uint32_t error = 99;
    const auto start = std::chrono::steady_clock::now();
    ASSERT_TRUE(process.startProcess("/bin/sh -c 'sleep 0.3; echo done > \"" + marker + "\"'", error));
    EXPECT_EQ(error, 0u);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
    for (int i = 0; i < 100 && readFile(marker).empty(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(readFile(marker), "done\n");
    // The reaper collects it: no child of this process is left, not even a zombie.
    for (int i = 0; i < 100 && !childrenOf(::getpid()).empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(childrenOf(::getpid()), std::vector<pid_t>{});
    EXPECT_FALSE(process.startProcess("no-such-program-anywhere", error));
    EXPECT_EQ(error, static_cast<std::uint32_t>(ENOENT));
}

TEST(ProcessLocale, TheLanguageComesFromLcAllThenLcMessagesThenLang) {
    PosixProcessServices process;
    ScopedEnv all("LC_ALL", std::nullopt);
    ScopedEnv messages("LC_MESSAGES", std::nullopt);
    ScopedEnv lang("LANG", "de_AT.UTF-8");
    EXPECT_EQ(process.userDefaultLcid(), 0x0C07u);
    EXPECT_EQ(process.userDefaultUiLanguage(), 0x0C07);
    {
        ScopedEnv more("LC_MESSAGES", "fr_CA.UTF-8");
        EXPECT_EQ(process.userDefaultLcid(), 0x0C0Cu);
        ScopedEnv most("LC_ALL", "C");
        EXPECT_EQ(process.userDefaultLcid(), 0x0409u);
    }
    ScopedEnv empty("LC_ALL", "");  // an empty value counts as unset
    EXPECT_EQ(process.userDefaultLcid(), 0x0C07u);
}

TEST(ProcessIdentity, ModuleNameAndPathFormsDescribeTheRunningProgram) {
    PosixProcessServices process;
    const std::string module = process.moduleFileNameA();
    EXPECT_EQ(module, std::filesystem::canonical("/proc/self/exe").string());
    EXPECT_EQ(process.moduleFileNameW(), std::u16string(module.begin(), module.end()));
    EXPECT_EQ(process.currentProcessId(), static_cast<std::uint32_t>(::getpid()));
    EXPECT_FALSE(process.hasWideLongPath());
    EXPECT_EQ(process.shortPathNameW(u"/"), u"/");
    EXPECT_FALSE(process.longPathNameW(u"/nonexistent/x"));
}

TEST(ProcessExit, HandlersRunLastFirstAtNormalExitButNotAtExitProcess) {
    TempDir dir;
    const std::string log = dir / "log";
    auto append = [log](const char* text) {
        return [log, text] { std::ofstream(log, std::ios::app) << text; };
    };
    EXPECT_EQ(inChild([&] {
                  PosixProcessServices process;
                  process.atNormalExit(append("first "));
                  process.atNormalExit([] { throw 1; });  // does not stop the others
                  process.atNormalExit(append("second "));
                  std::exit(3);
                  return 0;
              }),
              3);
    EXPECT_EQ(readFile(log), "second first ");
    EXPECT_EQ(inChild([&] {
                  PosixProcessServices process;
                  process.atNormalExit(append("never "));
                  const int out = ::open((dir / "stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
                  ::dup2(out, STDOUT_FILENO);
                  std::printf("flushed");
                  process.exitProcess(5);
                  return 0;
              }),
              5);
    EXPECT_EQ(readFile(log), "second first ");
    EXPECT_EQ(readFile(dir / "stdout"), "flushed");
}

}  // namespace
}  // namespace zendra::posix
