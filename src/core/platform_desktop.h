// Consoles, top-level windows of processes and the system restart.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace zendra {

// Opaque window handle (HWND on Windows).
using WindowRef = void*;

// One top-level window and the process that owns it.
struct TopLevelWindow {
    WindowRef window = nullptr;
    std::uint32_t processId = 0;
};

// Outcome of attaching to the parent process's console.
enum class ConsoleAttach {
    Attached,         // the process now uses its parent's console
    AlreadyAttached,  // refused with "access denied": the process has a console already
    Failed,           // refused for another reason (no parent console, for instance)
    Unavailable,      // the system has no such call
};

// Consoles, top-level windows of processes and the system restart.
class Desktop {
public:
    virtual ~Desktop() = default;

    // Every top-level window in the system's order, with its owning process.
    virtual std::vector<TopLevelWindow> topLevelWindows() = 0;
    // Whether the window is visible.
    virtual bool isVisible(WindowRef window) = 0;
    // Whether the window is minimised.
    virtual bool isMinimised(WindowRef window) = 0;
    // Shows the window restored from minimised or maximised.
    virtual void showRestored(WindowRef window) = 0;
    // Makes the window the foreground window; false when the system refuses.
    virtual bool setForeground(WindowRef window) = 0;
    // The window's last active popup, or the window itself when it has none.
    virtual WindowRef lastActivePopup(WindowRef window) = 0;

    // The title of the process's console; nullopt without a console (or with an empty title).
    virtual std::optional<std::u16string> consoleTitle() = 0;
    // Sets the title of the process's console; false on failure.
    virtual bool setConsoleTitle(const std::u16string& title) = 0;
    // The top-level window whose title is this text, or nullptr.
    virtual WindowRef findWindowByTitle(const std::u16string& title) = 0;

    // Attaches the process to its parent's console (a call looked up at run time); standard
    // handles redirected to a file or pipe stay as they are.
    virtual ConsoleAttach attachParentConsole() = 0;
    // Creates a new console for the process; false on failure. Redirected standard handles
    // stay as they are.
    virtual bool allocateConsole() = 0;
    // Connects the standard streams that lead nowhere to the console, so that later output
    // of this process (and of a VM in it) reaches it; redirected streams are kept.
    virtual void reopenStandardStreams() = 0;

    // Milliseconds since the system started (wrapping).
    virtual std::uint32_t tickCount() = 0;
    // Suspends the calling thread.
    virtual void sleep(std::uint32_t milliseconds) = 0;

    // Enables a privilege (such as "SeShutdownPrivilege") in the process's token; true only
    // when the token could be opened and the privilege was granted without any error status.
    virtual bool enablePrivilege(const std::string& name) = 0;
    // Asks the system to restart (reboot, no further flags); false when it refuses.
    virtual bool restartSystem() = 0;
};

}  // namespace zendra
