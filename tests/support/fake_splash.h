// In-memory stand-in for the SplashServices services.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "platform_splash.h"

namespace zendra::test {

class FakeDesktop;

// Records what the core asks of the SplashServices services. Threads run at once on the
// caller's thread unless deferThreads is set; the message loop calls the tick until it
// returns false (at most maxTicks times), running beforeTick(n) before tick n (from 1).
// The hooks may throw, to stand for a failing system call.
// With a desktop attached, the splash window is a window of that desktop (named "splash",
// owned by processId), so that counting and activating the process's windows see it.
class FakeSplashServices final : public SplashServices {
public:
    bool startThread(std::function<void()> body) override;
    ScreenRect desktopRect() override { return desktop_rect; }
    WindowRef createSplashWindow(const SplashWindowLayout& layout) override;
    void showWindow(WindowRef window, int showCommand) override;
    void hideWindow(WindowRef window) override;
    void makeTopMost(WindowRef window) override;
    bool isVisible(WindowRef window) override;
    void setStatusText(WindowRef window, const std::string& text) override;
    void runMessageLoop(WindowRef window, std::uint32_t periodMs, const std::function<bool()>& tick) override;
    std::optional<std::uint32_t> foregroundProcessId() override { return foregroundProcess; }
    std::optional<ResourceBytes> ownResource(int type, int id) override;

    // Runs the threads started so far (with deferThreads), in order.
    void runThreads();
    // Adds a resource of the own executable.
    void addResource(int type, int id, std::vector<std::uint8_t> bytes);

    // Set-up.
    ScreenRect desktop_rect{0, 0, 1920, 1080};
    bool deferThreads = false;
    bool threadFails = false;
    bool creationFails = false;
    int maxTicks = 20;
    std::function<void(int)> beforeTick;
    std::function<void()> onCreate;  // runs inside createSplashWindow
    std::optional<std::uint32_t> foregroundProcess;
    FakeDesktop* desktop = nullptr;
    std::uint32_t processId = 0;

    // What happened, e.g. "thread", "create", "show 5", "topmost", "hide", "status Ready",
    // "loop 100", "tick 1", "destroy".
    std::vector<std::string> calls;
    std::vector<SplashWindowLayout> created;  // every window's layout
    int ticks = 0;

private:
    std::vector<std::function<void()>> pending_;
    std::map<std::pair<int, int>, std::vector<std::uint8_t>> resources_;
    WindowRef window_ = nullptr;
    bool visible_ = false;
    bool destroyed_ = false;
};

}  // namespace zendra::test
