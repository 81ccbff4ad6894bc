// The splash window under Wine: its class, place and painting, the timer, status texts from
// other threads, its resources, and the whole splash of a Launcher over the Win32 services.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "launcher.h"
#include "property_ids.h"
#include "splash.h"
#include "win32.h"
#include "win_platform.h"
#include "win_splash.h"

namespace zendra::win {
namespace {

// The test bitmap (make_bitmap.py): 64 x 48 pixels in four quadrants, compiled in as bitmap
// and raw data 10000.
constexpr int kBitmapWidth = 64;
constexpr int kBitmapHeight = 48;
constexpr std::uint32_t kBmpFileSize = 54 + 64 * 3 * 48;
constexpr COLORREF kTopLeft = RGB(200, 40, 40);
constexpr COLORREF kBottomRight = RGB(230, 200, 30);

// Waits until condition holds, at most timeout, running the calling thread's messages (the
// system may ask a thread with windows about activation changes); true when it held.
bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds timeout = std::chrono::seconds(5)) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&message);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

// The colour of a screen pixel.
COLORREF screenPixel(int x, int y) {
    const HDC screen = ::GetDC(nullptr);
    const COLORREF colour = ::GetPixel(screen, x, y);
    ::ReleaseDC(nullptr, screen);
    return colour;
}

// How many pixels of a screen rectangle have exactly the colour.
int countPixels(const RECT& area, COLORREF colour) {
    const HDC screen = ::GetDC(nullptr);
    int count = 0;
    for (int y = area.top; y < area.bottom; ++y) {
        for (int x = area.left; x < area.right; ++x) count += ::GetPixel(screen, x, y) == colour ? 1 : 0;
    }
    ::ReleaseDC(nullptr, screen);
    return count;
}

TEST(SplashResourcesTest, OwnResourcesAreFoundByTypeAndId) {
    WinSplashServices services;
    const auto raw = services.ownResource(10, 10000);
    ASSERT_TRUE(raw.has_value());
    EXPECT_EQ(raw->size, kBmpFileSize);
    EXPECT_EQ(std::string(static_cast<const char*>(raw->data), 2), "BM");
    EXPECT_NE(raw->handle, nullptr);
    const auto bitmap = services.ownResource(2, 10000);
    ASSERT_TRUE(bitmap.has_value());
    EXPECT_EQ(bitmap->size, kBmpFileSize - 14);  // without the file header
    EXPECT_FALSE(services.ownResource(10, 10001).has_value());
    EXPECT_FALSE(services.ownResource(11, 10000).has_value());
}

class SplashWindowTest : public ::testing::Test {
protected:
    SplashWindowTest() {
        layout.title = "Splash window test";
        layout.x = 100;
        layout.y = 80;
        layout.width = kBitmapWidth;
        layout.height = kBitmapHeight;
        layout.status.x = 2;
        layout.status.y = 28;
        layout.status.fontPoints = 10;
        layout.status.fontWeight = 700;
        layout.status.colour = RGB(255, 0, 255);
    }
    ~SplashWindowTest() override {
        stop = true;
        if (looping) waitFor([this] { return loopEnded.load(); });
    }
    // Starts the window's thread and waits for the window.
    HWND start(int showCommand = SW_SHOWNORMAL) {
        const bool started = services.startThread([this, showCommand] {
            loopThread = ::GetCurrentThreadId();
            const WindowRef w = services.createSplashWindow(layout);
            madeWindow = w;
            windowMade = true;
            services.showWindow(w, showCommand);
            services.runMessageLoop(w, 100, [this] {
                ++ticks;
                return !stop;
            });
            loopEnded = true;
        });
        EXPECT_TRUE(started);
        looping = started;
        if (!waitFor([this] { return windowMade.load(); })) return nullptr;
        return static_cast<HWND>(madeWindow.load());
    }

    WinSplashServices services;
    SplashWindowLayout layout;
    std::atomic<bool> stop{false};
    std::atomic<int> ticks{0};
    std::atomic<DWORD> loopThread{0};
    std::atomic<WindowRef> madeWindow{nullptr};
    std::atomic<bool> windowMade{false};
    std::atomic<bool> loopEnded{false};
    bool looping = false;
};

TEST_F(SplashWindowTest, IsABorderlessPopupAtItsPlaceThatPaintsTheBitmap) {
    const HWND window = start();
    ASSERT_NE(window, nullptr);
    EXPECT_NE(loopThread.load(), ::GetCurrentThreadId());
    char name[64] = {};
    ::GetClassNameA(window, name, sizeof name);
    EXPECT_STREQ(name, "ZendraSplashScreen");
    ::GetWindowTextA(window, name, sizeof name);
    EXPECT_STREQ(name, "Splash window test");
    const LONG_PTR style = ::GetWindowLongPtrW(window, GWL_STYLE);
    EXPECT_TRUE(style & WS_POPUP);
    EXPECT_FALSE(style & (WS_CAPTION | WS_BORDER | WS_THICKFRAME));
    RECT rect{};
    ::GetWindowRect(window, &rect);
    EXPECT_EQ(rect.left, 100);
    EXPECT_EQ(rect.top, 80);
    EXPECT_EQ(rect.right - rect.left, kBitmapWidth);
    EXPECT_EQ(rect.bottom - rect.top, kBitmapHeight);
    EXPECT_TRUE(services.isVisible(window));
    EXPECT_TRUE(waitFor([] { return screenPixel(101, 81) == kTopLeft; })) << std::hex << screenPixel(101, 81);
    EXPECT_EQ(screenPixel(100 + kBitmapWidth - 2, 80 + kBitmapHeight - 2), kBottomRight);
}

TEST_F(SplashWindowTest, TimerTicksEveryHundredMillisecondsUntilTheTickSaysStop) {
    const HWND window = start();
    ASSERT_NE(window, nullptr);
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    const int counted = ticks;
    EXPECT_GE(counted, 6);
    EXPECT_LE(counted, 12);
    stop = true;
    ASSERT_TRUE(waitFor([this] { return loopEnded.load(); }));
    EXPECT_FALSE(::IsWindow(window));  // gone with the loop
}

TEST_F(SplashWindowTest, StatusTextFromAnotherThreadIsPaintedAtOnce) {
    const HWND window = start();
    ASSERT_NE(window, nullptr);
    const RECT textArea{100, 80 + 20, 100 + kBitmapWidth, 80 + kBitmapHeight};
    ASSERT_TRUE(waitFor([] { return screenPixel(101, 81) == kTopLeft; }));
    EXPECT_EQ(countPixels(textArea, RGB(255, 0, 255)), 0);
    services.setStatusText(window, "HHHH");
    EXPECT_GT(countPixels(textArea, RGB(255, 0, 255)), 10);
    services.setStatusText(nullptr, "ignored");
    services.setStatusText(::GetDesktopWindow(), "not a window of this process");
}

TEST_F(SplashWindowTest, HideTopMostAndForeground) {
    const HWND window = start();
    ASSERT_NE(window, nullptr);
    services.makeTopMost(window);
    EXPECT_TRUE(::GetWindowLongPtrW(window, GWL_EXSTYLE) & WS_EX_TOPMOST);
    ::SetForegroundWindow(window);
    EXPECT_EQ(services.foregroundProcessId(), std::optional<std::uint32_t>(::GetCurrentProcessId()));
    services.hideWindow(window);
    EXPECT_FALSE(services.isVisible(window));
    EXPECT_TRUE(::IsWindow(window));  // hidden, not destroyed
    EXPECT_FALSE(services.isVisible(nullptr));
}

TEST_F(SplashWindowTest, ShowCommandHideLeavesTheWindowInvisible) {
    const HWND window = start(SW_HIDE);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(services.isVisible(window));
}

TEST(SplashThreadTest, TheThreadRunsItsBodyAndTheDesktopIsTheScreen) {
    WinSplashServices services;
    std::atomic<bool> reached{false};
    ASSERT_TRUE(services.startThread([&reached] { reached = true; }));
    EXPECT_TRUE(waitFor([&reached] { return reached.load(); }));
    const RECT desktop = [] {
        RECT r{};
        ::GetWindowRect(::GetDesktopWindow(), &r);
        return r;
    }();
    const ScreenRect seen = services.desktopRect();
    EXPECT_EQ(seen.right - seen.left, desktop.right - desktop.left);
    EXPECT_EQ(seen.bottom - seen.top, desktop.bottom - desktop.top);
}

// The whole splash of a Launcher over the Win32 services.
class SplashFlowTest : public ::testing::Test {
protected:
    SplashFlowTest() {
        l.store.setProperty(prop::launcherType, "1");  // a GUI program: no console window to look for
        l.store.setProperty(prop::applicationName, "Splash flow test");
        l.store.setProperty(prop::splashWidth, std::to_string(kBitmapWidth));
        l.store.setProperty(prop::splashHeight, std::to_string(kBitmapHeight));
    }
    // The visible splash window of this test, or nullptr.
    static HWND splashWindow() {
        const HWND window = ::FindWindowA("ZendraSplashScreen", "Splash flow test");
        return window != nullptr && ::IsWindowVisible(window) ? window : nullptr;
    }

    Launcher l{processPlatform().platform(), LauncherKind::App};
};

TEST_F(SplashFlowTest, SplashIsCentredOwnsErrorsAndSwitchesItselfOffForAnotherWindow) {
    l.store.setProperty(prop::splashAutoOff, "1");
    showSplash(l, SW_SHOWNORMAL);
    ASSERT_TRUE(waitFor([] { return splashWindow() != nullptr; }));
    const HWND window = splashWindow();
    RECT rect{};
    ::GetWindowRect(window, &rect);
    RECT desktop{};
    ::GetWindowRect(::GetDesktopWindow(), &desktop);
    EXPECT_EQ(rect.left, (desktop.right - kBitmapWidth - desktop.left) / 2);
    EXPECT_EQ(rect.top, (desktop.bottom - kBitmapHeight - desktop.top) / 2);
    EXPECT_TRUE(waitFor([&] { return l.errorOwnerWindow == window; }));
    EXPECT_TRUE(l.hideSplash);
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(::IsWindowVisible(window));  // the splash alone does not count

    const HWND other = ::CreateWindowExW(0, L"STATIC", L"another window", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                         100, 50, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(other, nullptr);
    // Hidden at the next tick; under Wine without a window manager hiding an active window
    // takes about 2 s more before the thread can end.
    EXPECT_TRUE(waitFor([&] { return !::IsWindowVisible(window); }, std::chrono::milliseconds(500)));
    EXPECT_TRUE(waitFor([&] { return !::IsWindow(window); }, std::chrono::seconds(5)));
    EXPECT_EQ(l.errorOwnerWindow, nullptr);
    ::DestroyWindow(other);
}

TEST_F(SplashFlowTest, HideFromAnotherThreadEndsTheSplashThread) {
    showSplash(l, SW_SHOWNORMAL);
    ASSERT_TRUE(waitFor([] { return splashWindow() != nullptr; }));
    const HWND window = splashWindow();
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(::IsWindowVisible(window));  // no auto-off without property 145
    l.hideSplash();
    EXPECT_FALSE(::IsWindowVisible(window));
    EXPECT_EQ(l.errorOwnerWindow, nullptr);
    EXPECT_TRUE(waitFor([&] { return !::IsWindow(window); }, std::chrono::seconds(5)));
    showSplash(l, SW_SHOWNORMAL);  // once per process run
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_EQ(splashWindow(), nullptr);
}

}  // namespace
}  // namespace zendra::win
