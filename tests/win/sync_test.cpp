// Named semaphores, pauses and exclusive file creation against Wine's kernel objects,
// including a second process of this test program holding or probing a semaphore.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "handles.h"
#include "test_directory.h"
#include "win32.h"
#include "win_sync.h"

namespace zendra::win {
namespace {

constexpr const char* kChildName = "ZENDRA_SYNC_CHILD_NAME";  // the semaphore the child creates
constexpr const char* kChildOut = "ZENDRA_SYNC_CHILD_OUT";    // where it reports "0" or "1" (existed)
constexpr const char* kChildGo = "ZENDRA_SYNC_CHILD_GO";      // it holds the semaphore until this file exists

// A semaphore name no other test run uses.
std::string uniqueName(const char* what) {
    return std::string("Local\\zendra-test-") + what + "-" + std::to_string(::GetCurrentProcessId()) + "-" +
           std::to_string(::GetTickCount64());
}

// Whether the semaphore behind an opening has a count to take right now.
bool countAvailable(const SemaphoreOpening& opening) {
    return ::WaitForSingleObject(const_cast<HANDLE>(opening.semaphore->handleValue()), 0) == WAIT_OBJECT_0;
}

TEST(SynchronizationSemaphores, CreationReportsWhetherTheNameExisted) {
    WinSynchronization sync;
    const std::string name = uniqueName("exists");
    SemaphoreOpening first = sync.createSemaphore(name, 1, 1);
    ASSERT_NE(first.semaphore, nullptr);
    EXPECT_EQ(first.status, 0u);
    EXPECT_FALSE(first.alreadyExisted());
    SemaphoreOpening second = sync.createSemaphore(name, 1, 1);
    ASSERT_NE(second.semaphore, nullptr);
    EXPECT_EQ(second.status, kErrorAlreadyExists);
    EXPECT_TRUE(second.alreadyExisted());
    EXPECT_NE(first.semaphore->handleValue(), second.semaphore->handleValue());
    first.semaphore.reset();
    EXPECT_TRUE(sync.createSemaphore(name, 1, 1).alreadyExisted());  // second still holds it
    second.semaphore.reset();
    EXPECT_FALSE(sync.createSemaphore(name, 1, 1).alreadyExisted());  // the last handle ended it
}

TEST(SynchronizationSemaphores, WaitTakesTheCountAndReleaseGivesItBack) {
    WinSynchronization sync;
    const std::string name = uniqueName("count");
    SemaphoreOpening holder = sync.createSemaphore(name, 1, 1);
    SemaphoreOpening other = sync.createSemaphore(name, 1, 1);
    ASSERT_TRUE(other.alreadyExisted());
    EXPECT_EQ(holder.semaphore->wait(), kWaitTaken);
    EXPECT_FALSE(countAvailable(other));
    std::uint32_t error = 0;
    EXPECT_TRUE(holder.semaphore->release(error));
    EXPECT_TRUE(countAvailable(other));  // taken again by the probe
    EXPECT_TRUE(other.semaphore->release(error));
    EXPECT_FALSE(other.semaphore->release(error));  // beyond the maximum count of 1
    EXPECT_EQ(error, static_cast<std::uint32_t>(ERROR_TOO_MANY_POSTS));
    // An opening starting at 0 cannot be taken until released.
    SemaphoreOpening empty = sync.createSemaphore(uniqueName("empty"), 0, 1);
    EXPECT_FALSE(countAvailable(empty));
}

TEST(SynchronizationSemaphores, AnInvalidNameGivesNoHandleAndTheError) {
    WinSynchronization sync;
    SemaphoreOpening opening = sync.createSemaphore("Local\\a\\b\\no-such-directory", 1, 1);
    EXPECT_EQ(opening.semaphore, nullptr);
    EXPECT_NE(opening.status, 0u);
    EXPECT_FALSE(opening.alreadyExisted());
}

TEST(SynchronizationFiles, CreateNewFileRefusesAnExistingFile) {
    WinSynchronization sync;
    test::TestDirectory dir;
    const std::string path = dir.file("znd_p42.tmp");
    std::uint32_t error = 99;
    std::unique_ptr<File> file = sync.createNewFile(path, error);
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(error, 0u);
    const char text[] = {'a', 0, '\n', 0};
    EXPECT_EQ(file->write(text, sizeof text).bytes, sizeof text);
    // Not shared while open.
    UniqueHandle reader(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    EXPECT_FALSE(reader.valid());
    file.reset();
    EXPECT_EQ(test::readRawFile(path), std::string(text, sizeof text));

    EXPECT_EQ(sync.createNewFile(path, error), nullptr);
    EXPECT_EQ(error, kErrorFileExists);
    EXPECT_EQ(test::readRawFile(path), std::string(text, sizeof text));  // left untouched
    EXPECT_EQ(sync.createNewFile(dir.file("missing\\x.tmp"), error), nullptr);
    EXPECT_EQ(error, static_cast<std::uint32_t>(ERROR_PATH_NOT_FOUND));
}

TEST(SynchronizationPause, SleepPausesForTheTime) {
    WinSynchronization sync;
    LARGE_INTEGER frequency, before, after;
    ::QueryPerformanceFrequency(&frequency);
    ::QueryPerformanceCounter(&before);
    sync.sleep(50);
    ::QueryPerformanceCounter(&after);
    EXPECT_GE((after.QuadPart - before.QuadPart) * 1000 / frequency.QuadPart, 45);
}

// Runs this program's child case with the variables set; returns its exit code (or -1).
int runChild(const std::string& name, const std::string& out, const std::string& go, HANDLE* running = nullptr) {
    ::SetEnvironmentVariableA(kChildName, name.c_str());
    ::SetEnvironmentVariableA(kChildOut, out.c_str());
    ::SetEnvironmentVariableA(kChildGo, go.empty() ? nullptr : go.c_str());
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring commandLine = L"\"" + std::wstring(self) +
                               L"\" --gtest_filter=DISABLED_SynchronizationChild.* --gtest_also_run_disabled_tests";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    const BOOL started = ::CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                          &startup, &info);
    for (const char* variable : {kChildName, kChildOut, kChildGo}) ::SetEnvironmentVariableA(variable, nullptr);
    if (!started) return -1;
    UniqueHandle thread(info.hThread);
    UniqueHandle process(info.hProcess);
    if (running != nullptr) {
        *running = process.release();
        return 0;
    }
    if (::WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0) return -1;
    DWORD code = 1;
    ::GetExitCodeProcess(process.get(), &code);
    return static_cast<int>(code);
}

// Waits up to 30 s for a file to hold something.
std::string awaitFile(const std::string& path) {
    for (int i = 0; i < 600; ++i) {
        std::string text = test::readRawFile(path);
        if (!text.empty()) return text;
        ::Sleep(50);
    }
    return {};
}

TEST(SynchronizationProcesses, AnotherProcessSeesTheNameAndKeepsItAlive) {
    WinSynchronization sync;
    test::TestDirectory dir;
    const std::string name = uniqueName("shared");
    SemaphoreOpening mine = sync.createSemaphore(name, 1, 1);
    ASSERT_FALSE(mine.alreadyExisted());
    ASSERT_EQ(runChild(name, dir.file("probe.txt"), ""), 0);
    EXPECT_EQ(test::readRawFile(dir.file("probe.txt")), "1");
    mine.semaphore.reset();

    HANDLE raw = nullptr;
    ASSERT_EQ(runChild(name, dir.file("holder.txt"), dir.file("go.txt"), &raw), 0);
    UniqueHandle child(raw);
    EXPECT_EQ(awaitFile(dir.file("holder.txt")), "0");
    EXPECT_TRUE(sync.createSemaphore(name, 1, 1).alreadyExisted());  // the child holds it
    test::writeRawFile(dir.file("go.txt"), "go");
    ASSERT_EQ(::WaitForSingleObject(child.get(), 60000), WAIT_OBJECT_0);
    EXPECT_FALSE(sync.createSemaphore(name, 1, 1).alreadyExisted());  // gone with the child
}

// The other process of the test above; runs only when started by it.
TEST(DISABLED_SynchronizationChild, CreatesAndHolds) {
    const char* name = std::getenv(kChildName);
    const char* out = std::getenv(kChildOut);
    if (name == nullptr || out == nullptr) GTEST_SKIP() << "started by SynchronizationProcesses only";
    WinSynchronization sync;
    SemaphoreOpening opening = sync.createSemaphore(name, 1, 1);
    ASSERT_NE(opening.semaphore, nullptr);
    test::writeRawFile(out, opening.alreadyExisted() ? "1" : "0");
    if (const char* go = std::getenv(kChildGo)) {
        for (int i = 0; i < 600 && test::readRawFile(go).empty(); ++i) ::Sleep(50);
    }
}

}  // namespace
}  // namespace zendra::win
