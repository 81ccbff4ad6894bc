// The Win32 implementation of the SplashServices services.
#pragma once

#include "platform_splash.h"

namespace zendra::win {

// The splash window and the resources of the own executable, through Win32. user32 and gdi32
// are loaded when first needed (importing them slows every start); without them no window is
// made. A splash window lives on the thread that made it, which runs its messages.
class WinSplashServices final : public SplashServices {
public:
    // A detached thread with the default stack size; the body's exceptions end there.
    bool startThread(std::function<void()> body) override;
    // GetWindowRect of the desktop window.
    ScreenRect desktopRect() override;
    // Registers the window class "ZendraSplashScreen" once and creates the WS_POPUP window.
    WindowRef createSplashWindow(const SplashWindowLayout& layout) override;
    // ShowWindow with the show command.
    void showWindow(WindowRef window, int showCommand) override;
    // ShowWindow with SW_HIDE.
    void hideWindow(WindowRef window) override;
    // SetWindowPos with HWND_TOPMOST, keeping position and size.
    void makeTopMost(WindowRef window) override;
    // IsWindowVisible.
    bool isVisible(WindowRef window) override;
    // Sends the text to the window's thread, which stores it and repaints at once.
    void setStatusText(WindowRef window, const std::string& text) override;
    // GetMessage loop with a thread timer (id 9962); DestroyWindow at the end.
    void runMessageLoop(WindowRef window, std::uint32_t periodMs, const std::function<bool()>& tick) override;
    // GetForegroundWindow and GetWindowThreadProcessId.
    std::optional<std::uint32_t> foregroundProcessId() override;
    // FindResource, LoadResource, LockResource and SizeofResource on the executable.
    std::optional<ResourceBytes> ownResource(int type, int id) override;
};

}  // namespace zendra::win
