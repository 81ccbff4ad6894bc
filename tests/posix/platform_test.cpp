#include <chrono>
#include <future>
#include <thread>

#include <gtest/gtest.h>

#include "posix_platform.h"
#include "posix_test_support.h"

namespace zendra::posix {
namespace {

TEST(PosixPlatform, BundlesTheServicesWithTheLinuxPathConventions) {
    test::TempDir dir;
    PosixPlatform bundle(StoreDirectories{dir / "user", dir / "machine"}, SemaphoreDirectories{dir / "g", dir / "l"});
    Platform& platform = bundle.platform();
    EXPECT_EQ(&platform.paths(), &kPosixConventions);
    EXPECT_EQ(platform.paths().separator, '/');
    EXPECT_EQ(platform.fs.windowsDirectory(), "");
    ASSERT_TRUE(platform.registry.setValue(Hive::CurrentUser, "k", "v", RegType::String, {'1'}));
    EXPECT_TRUE(std::filesystem::exists(dir / "user/user-store"));
    EXPECT_TRUE(platform.sync.createSemaphore("s", 1, 1).semaphore);
    EXPECT_TRUE(std::filesystem::exists(dir / "l/s.exists"));
    EXPECT_EQ(&processPlatform(), &processPlatform());
}

TEST(Libraries, LoadsALibraryAndKeepsTheSystemsTextOfAFailure) {
    PosixLibraries libraries;
    std::uint32_t error = 99;
    LibraryRef math = libraries.load("libm.so.6", error);
    ASSERT_NE(math, nullptr);
    EXPECT_EQ(error, 0u);
    using Cos = double (*)(double);
    auto cosine = reinterpret_cast<Cos>(libraries.symbol(math, "cos"));
    ASSERT_NE(cosine, nullptr);
    EXPECT_EQ(cosine(0.0), 1.0);
    EXPECT_EQ(libraries.symbol(math, "no_such_symbol_here"), nullptr);
    EXPECT_EQ(libraries.symbol(nullptr, "cos"), nullptr);

    EXPECT_EQ(libraries.load("/nonexistent/libjvm.so", error), nullptr);
    EXPECT_NE(error, 0u);
    EXPECT_NE(libraries.lastErrorText().find("/nonexistent/libjvm.so"), std::string::npos) << libraries.lastErrorText();
}

TEST(SplashServices, ThreadsRunAndTheirExceptionsStayThere) {
    PosixSplashServices splash;
    std::promise<std::thread::id> ran;
    auto id = ran.get_future();
    ASSERT_TRUE(splash.startThread([&] { ran.set_value(std::this_thread::get_id()); }));
    ASSERT_EQ(id.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    EXPECT_NE(id.get(), std::this_thread::get_id());
    std::promise<void> thrown;
    auto done = thrown.get_future();
    ASSERT_TRUE(splash.startThread([&] {
        thrown.set_value();
        throw std::runtime_error("ends the thread only");
    }));
    ASSERT_EQ(done.wait_for(std::chrono::seconds(5)), std::future_status::ready);
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(splash.createSplashWindow(SplashWindowLayout{}), nullptr);
    bool ticked = false;
    splash.runMessageLoop(nullptr, 10, [&] { return ticked = true; });
    EXPECT_FALSE(ticked);
}

TEST(Desktop, TicksFollowTheMonotonicClockAndNothingIsRestarted) {
    PosixDesktop desktop;
    const std::uint32_t before = desktop.tickCount();
    desktop.sleep(50);
    const std::uint32_t elapsed = desktop.tickCount() - before;
    EXPECT_GE(elapsed, 50u);
    EXPECT_LT(elapsed, 1000u);
    EXPECT_EQ(desktop.attachParentConsole(), ConsoleAttach::Unavailable);
    EXPECT_FALSE(desktop.restartSystem());
    EXPECT_TRUE(desktop.topLevelWindows().empty());
}

}  // namespace
}  // namespace zendra::posix
