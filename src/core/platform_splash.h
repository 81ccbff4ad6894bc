// The splash window and the resources of the own executable.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace zendra {

// Opaque window handle (HWND on Windows).
using WindowRef = void*;

// A rectangle in screen pixels.
struct ScreenRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;
};

// One line of text painted over the splash bitmap.
struct SplashTextLine {
    std::string text;          // 8-bit text, one line
    int x = 0;                 // client position of the line's top-left corner
    int y = 0;
    std::string fontFace;      // at most 31 characters; empty lets the system choose
    int fontPoints = 0;        // font size in points
    int fontWeight = 0;        // 400 normal, 700 bold
    std::uint32_t colour = 0;  // 0x00BBGGRR
};

// Everything the splash window shows, and where.
struct SplashWindowLayout {
    std::string title;         // window title (not displayed: the window has no caption)
    int x = 0;                 // screen position of the top-left corner
    int y = 0;
    int width = 0;             // window and bitmap size
    int height = 0;
    int bitmapId = 10000;      // bitmap resource of the own executable drawn at (0, 0)
    SplashTextLine status;
    SplashTextLine version;
};

// A resource of the own executable, as the system maps it (valid until the process ends).
struct ResourceBytes {
    const void* handle = nullptr;  // the resource handle, for diagnostics
    const void* data = nullptr;    // the first byte
    std::uint32_t size = 0;        // its size in bytes
};

// The splash window and the resources of the own executable.
class SplashServices {
public:
    virtual ~SplashServices() = default;

    // Runs body on a new thread (default stack size) without waiting; false when no thread
    // could be started.
    virtual bool startThread(std::function<void()> body) = 0;
    // The desktop window's rectangle.
    virtual ScreenRect desktopRect() = 0;
    // Creates the splash window (hidden) on the calling thread, which must run its messages;
    // nullptr when it cannot be created.
    virtual WindowRef createSplashWindow(const SplashWindowLayout& layout) = 0;
    // Shows the window with a show command (the process's nCmdShow).
    virtual void showWindow(WindowRef window, int showCommand) = 0;
    // Hides the window without destroying it; callable from any thread.
    virtual void hideWindow(WindowRef window) = 0;
    // Keeps the window above all others, keeping its position and size.
    virtual void makeTopMost(WindowRef window) = 0;
    // Whether the window exists and is visible.
    virtual bool isVisible(WindowRef window) = 0;
    // Replaces the window's status line and repaints it before returning; callable from any thread.
    virtual void setStatusText(WindowRef window, const std::string& text) = 0;
    // Runs the calling thread's message loop, calling tick every periodMs until tick returns
    // false or the window is destroyed; then destroys the window (made on this thread).
    virtual void runMessageLoop(WindowRef window, std::uint32_t periodMs, const std::function<bool()>& tick) = 0;
    // The process that owns the foreground window; none when there is no foreground window.
    virtual std::optional<std::uint32_t> foregroundProcessId() = 0;
    // A resource of the own executable by numeric type and id; none when it is missing.
    virtual std::optional<ResourceBytes> ownResource(int type, int id) = 0;
};

}  // namespace zendra
