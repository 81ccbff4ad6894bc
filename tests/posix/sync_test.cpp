#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include <gtest/gtest.h>

#include "posix_sync.h"
#include "posix_test_support.h"

namespace zendra::posix {
namespace {

using test::TempDir;

class SemaphoreTest : public ::testing::Test {
protected:
    TempDir dir;
    SemaphoreDirectories directories{dir / "global", dir / "local"};
    PosixSynchronization sync{directories};
};

TEST_F(SemaphoreTest, TheFirstHandleCreatesAndLaterOnesFindTheNameExisting) {
    SemaphoreOpening first = sync.createSemaphore("zendra-app", 1, 1);
    ASSERT_TRUE(first.semaphore);
    EXPECT_EQ(first.status, 0u);
    EXPECT_FALSE(first.alreadyExisted());
    PosixSynchronization otherObject(directories);
    SemaphoreOpening second = otherObject.createSemaphore("zendra-app", 1, 1);
    ASSERT_TRUE(second.semaphore);
    EXPECT_EQ(second.status, kErrorAlreadyExists);
    EXPECT_TRUE(second.alreadyExisted());
    // Names are case-sensitive, and "Local\\" is the same namespace as no prefix.
    EXPECT_FALSE(sync.createSemaphore("ZENDRA-APP", 1, 1).alreadyExisted());
    EXPECT_TRUE(sync.createSemaphore("Local\\zendra-app", 1, 1).alreadyExisted());
    EXPECT_FALSE(sync.createSemaphore("Global\\zendra-app", 1, 1).alreadyExisted());
}

TEST_F(SemaphoreTest, TheNameEndsWithItsLastHandle) {
    SemaphoreOpening first = sync.createSemaphore("name", 1, 1);
    SemaphoreOpening second = sync.createSemaphore("name", 1, 1);
    ASSERT_TRUE(second.alreadyExisted());
    first.semaphore.reset();
    EXPECT_TRUE(sync.createSemaphore("name", 1, 1).alreadyExisted());  // second still holds it
    second.semaphore.reset();
    SemaphoreOpening again = sync.createSemaphore("name", 1, 1);
    ASSERT_TRUE(again.semaphore);
    EXPECT_EQ(again.status, 0u);
}

TEST_F(SemaphoreTest, AKilledHolderFreesTheName) {
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t holder = ::fork();
    ASSERT_GE(holder, 0);
    if (holder == 0) {
        PosixSynchronization own(directories);
        SemaphoreOpening opening = own.createSemaphore("Global\\held", 1, 1);
        const char state = opening.semaphore && opening.status == 0 ? 'y' : 'n';
        if (::write(ready[1], &state, 1) != 1) ::_exit(2);
        for (;;) ::pause();
    }
    ::close(ready[1]);
    char state = 0;
    ASSERT_EQ(::read(ready[0], &state, 1), 1);
    ::close(ready[0]);
    EXPECT_EQ(state, 'y');
    EXPECT_TRUE(sync.createSemaphore("Global\\held", 1, 1).alreadyExisted());
    ::kill(holder, SIGKILL);
    ::waitpid(holder, nullptr, 0);
    SemaphoreOpening after = sync.createSemaphore("Global\\held", 1, 1);
    ASSERT_TRUE(after.semaphore);
    EXPECT_EQ(after.status, 0u);
}

TEST_F(SemaphoreTest, OfProcessesRacingForANameExactlyOneCreatesIt) {
    constexpr int kProcesses = 8;
    int start[2];
    int results[2];
    ASSERT_EQ(::pipe(start), 0);
    ASSERT_EQ(::pipe(results), 0);
    std::vector<pid_t> children;
    for (int i = 0; i < kProcesses; ++i) {
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(start[1]);
            char go = 0;
            if (::read(start[0], &go, 1) != 0) ::_exit(2);  // every child wakes when the pipe closes
            PosixSynchronization own(directories);
            SemaphoreOpening opening = own.createSemaphore("race", 1, 1);
            const char outcome = !opening.semaphore ? 'f' : opening.status == 0 ? 'c' : 'e';
            if (::write(results[1], &outcome, 1) != 1) ::_exit(2);
            for (;;) ::pause();  // keeps holding the name
        }
        children.push_back(child);
    }
    ::close(start[0]);
    ::close(start[1]);
    ::close(results[1]);
    std::string outcomes;
    char outcome = 0;
    while (outcomes.size() < kProcesses && ::read(results[0], &outcome, 1) == 1) outcomes.push_back(outcome);
    ::close(results[0]);
    for (pid_t child : children) {
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
    }
    EXPECT_EQ(std::count(outcomes.begin(), outcomes.end(), 'c'), 1) << outcomes;
    EXPECT_EQ(std::count(outcomes.begin(), outcomes.end(), 'e'), kProcesses - 1) << outcomes;
}

TEST_F(SemaphoreTest, WaitExcludesASecondWaiterUntilRelease) {
    SemaphoreOpening first = sync.createSemaphore("count", 1, 1);
    SemaphoreOpening second = sync.createSemaphore("count", 1, 1);
    ASSERT_TRUE(first.semaphore && second.semaphore);
    ASSERT_EQ(first.semaphore->wait(), kWaitTaken);
    std::atomic<bool> taken{false};
    std::thread waiter([&] {
        if (second.semaphore->wait() == kWaitTaken) taken = true;
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    EXPECT_FALSE(taken);
    std::uint32_t error = 0;
    EXPECT_TRUE(first.semaphore->release(error));
    waiter.join();
    EXPECT_TRUE(taken);
    // A handle that does not hold the count cannot raise it above the maximum.
    EXPECT_FALSE(first.semaphore->release(error));
    EXPECT_EQ(error, static_cast<std::uint32_t>(EOVERFLOW));
    EXPECT_TRUE(second.semaphore->release(error));
}

TEST_F(SemaphoreTest, CountsOtherThanOneAreRefused) {
    SemaphoreOpening opening = sync.createSemaphore("n", 0, 1);
    EXPECT_FALSE(opening.semaphore);
    EXPECT_EQ(opening.status, static_cast<std::uint32_t>(EINVAL));
    EXPECT_FALSE(sync.createSemaphore("n", 1, 2).semaphore);
}

TEST_F(SemaphoreTest, LockDirectoriesHaveTheirModesAndRefuseALink) {
    ASSERT_TRUE(sync.createSemaphore("Global\\g", 1, 1).semaphore);
    ASSERT_TRUE(sync.createSemaphore("l", 1, 1).semaphore);
    struct stat info {};
    ASSERT_EQ(::stat(directories.global.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 01777u);
    ASSERT_EQ(::stat((directories.global + "/g.exists").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0666u);
    ASSERT_EQ(::stat(directories.local.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0700u);

    ASSERT_EQ(::mkdir((dir / "elsewhere").c_str(), 0700), 0);
    ASSERT_EQ(::symlink((dir / "elsewhere").c_str(), (dir / "linked").c_str()), 0);
    PosixSynchronization linked(SemaphoreDirectories{dir / "linked", dir / "linked"});
    SemaphoreOpening opening = linked.createSemaphore("x", 1, 1);
    EXPECT_FALSE(opening.semaphore);
    EXPECT_EQ(opening.status, static_cast<std::uint32_t>(ENOTDIR));
}

TEST(SemaphoreLocation, EscapesEverythingThatCouldLeaveTheDirectory) {
    EXPECT_EQ(semaphoreLocation("Global\\app-1.x_y").stem, "app-1.x_y");
    EXPECT_TRUE(semaphoreLocation("Global\\app").global);
    EXPECT_FALSE(semaphoreLocation("Local\\app").global);
    EXPECT_EQ(semaphoreLocation("Local\\app").stem, "app");
    EXPECT_EQ(semaphoreLocation("../x/y\\z %").stem, "..%2fx%2fy%5cz%20%25");
    const std::string longName(400, '/');
    const SemaphoreLocation cut = semaphoreLocation(longName);
    EXPECT_LE(cut.stem.size(), 200u);
    EXPECT_EQ(cut.stem.find('/'), std::string::npos);
    EXPECT_NE(cut.stem, semaphoreLocation(longName + "/").stem);
}

TEST(CreateNewFile, RefusesAnExistingFileWithTheWindowsCode) {
    TempDir dir;
    PosixSynchronization sync(SemaphoreDirectories{dir / "g", dir / "l"});
    std::uint32_t error = 1;
    auto file = sync.createNewFile(dir / "handover", error);
    ASSERT_TRUE(file);
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(file->write("x", 1).bytes, 1u);
    EXPECT_FALSE(sync.createNewFile(dir / "handover", error));
    EXPECT_EQ(error, kErrorFileExists);
    EXPECT_FALSE(sync.createNewFile(dir / "missing/handover", error));
    EXPECT_EQ(error, static_cast<std::uint32_t>(ENOENT));
}

}  // namespace
}  // namespace zendra::posix
