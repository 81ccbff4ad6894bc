// The splash window on Linux: there is none; only the thread service is real.
#pragma once

#include "platform_splash.h"

namespace zendra::posix {

// The SplashServices of the portable core on Linux: threads run, windows are never made,
// and the executable has no resources.
class PosixSplashServices final : public SplashServices {
public:
    // Runs body on a detached std::thread, whose exceptions end there; false without a thread.
    bool startThread(std::function<void()> body) override;
    // All zeros.
    ScreenRect desktopRect() override { return {}; }
    // nullptr.
    WindowRef createSplashWindow(const SplashWindowLayout& /*layout*/) override { return nullptr; }
    // Nothing.
    void showWindow(WindowRef /*window*/, int /*showCommand*/) override {}
    // Nothing.
    void hideWindow(WindowRef /*window*/) override {}
    // Nothing.
    void makeTopMost(WindowRef /*window*/) override {}
    // false.
    bool isVisible(WindowRef /*window*/) override { return false; }
    // Nothing.
    void setStatusText(WindowRef /*window*/, const std::string& /*text*/) override {}
    // Returns at once: there is no window whose messages would run.
    void runMessageLoop(WindowRef /*window*/, std::uint32_t /*periodMs*/,
                        const std::function<bool()>& /*tick*/) override {}
    // nullopt.
    std::optional<std::uint32_t> foregroundProcessId() override { return std::nullopt; }
    // nullopt.
    std::optional<ResourceBytes> ownResource(int /*type*/, int /*id*/) override { return std::nullopt; }
};

}  // namespace zendra::posix
