// In-memory stand-in for the Desktop services.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform_desktop.h"

namespace zendra::test {

// One top-level window of the fake desktop.
struct FakeWindow {
    WindowRef handle = nullptr;
    std::string name;               // how the window appears in the recorded calls
    std::uint32_t processId = 0;
    bool visible = true;
    bool minimised = false;
    std::u16string title;
    WindowRef lastPopup = nullptr;  // nullptr: the window is its own last active popup
};

// A desktop of fake windows and a console; every request is recorded in calls, in order.
// The services are defined in this header, so that every user of FakeSystem links without
// fake_desktop.cpp; only the set-up helpers for tests live there.
class FakeDesktop final : public Desktop {
public:
    std::vector<TopLevelWindow> topLevelWindows() override;
    bool isVisible(WindowRef window) override;
    bool isMinimised(WindowRef window) override;
    void showRestored(WindowRef window) override;
    bool setForeground(WindowRef window) override;
    WindowRef lastActivePopup(WindowRef window) override;
    std::optional<std::u16string> consoleTitle() override;
    bool setConsoleTitle(const std::u16string& title) override;
    WindowRef findWindowByTitle(const std::u16string& title) override;
    ConsoleAttach attachParentConsole() override;
    bool allocateConsole() override;
    void reopenStandardStreams() override { calls.push_back("reopen streams"); }
    std::uint32_t tickCount() override { return ticks; }
    void sleep(std::uint32_t milliseconds) override;
    bool enablePrivilege(const std::string& name) override;
    bool restartSystem() override;

    // Adds a visible, not minimised window at the end of the system's order.
    FakeWindow& addWindow(const std::string& name, std::uint32_t processId);
    // The window added under this name (which must exist).
    FakeWindow& window(const std::string& name);
    // Makes a window the console's window: its title follows the console title.
    void setConsoleWindow(const std::string& name);

    std::vector<std::string> calls;                 // e.g. "foreground main", "sleep 40", "restart"
    std::optional<std::u16string> console;          // the console title; nullopt: no console
    bool consoleTitleFails = false;                 // setConsoleTitle fails
    ConsoleAttach attachResult = ConsoleAttach::Failed;  // for a process without a console
    bool allocateFails = false;
    std::uint32_t ticks = 100000;                   // advanced by sleep
    bool privilegeGranted = true;
    int titleLookups = 0;                           // calls of consoleTitle

private:
    FakeWindow* find(WindowRef handle) {
        for (FakeWindow& w : windows_) {
            if (w.handle == handle) return &w;
        }
        return nullptr;
    }
    std::string nameOf(WindowRef handle) {
        const FakeWindow* w = find(handle);
        return w != nullptr ? w->name : "?";
    }

    std::vector<FakeWindow> windows_;
    WindowRef consoleWindow_ = nullptr;
};

inline std::vector<TopLevelWindow> FakeDesktop::topLevelWindows() {
    calls.push_back("enumerate");
    std::vector<TopLevelWindow> result;
    for (const FakeWindow& w : windows_) result.push_back({w.handle, w.processId});
    return result;
}

inline bool FakeDesktop::isVisible(WindowRef window) {
    const FakeWindow* w = find(window);
    return w != nullptr && w->visible;
}

inline bool FakeDesktop::isMinimised(WindowRef window) {
    const FakeWindow* w = find(window);
    return w != nullptr && w->minimised;
}

inline void FakeDesktop::showRestored(WindowRef window) {
    calls.push_back("restore " + nameOf(window));
    if (FakeWindow* w = find(window)) w->minimised = false;
}

inline bool FakeDesktop::setForeground(WindowRef window) {
    calls.push_back("foreground " + nameOf(window));
    return find(window) != nullptr;
}

inline WindowRef FakeDesktop::lastActivePopup(WindowRef window) {
    const FakeWindow* w = find(window);
    return w != nullptr && w->lastPopup != nullptr ? w->lastPopup : window;
}

inline std::optional<std::u16string> FakeDesktop::consoleTitle() {
    ++titleLookups;
    if (console && console->empty()) return std::nullopt;
    return console;
}

inline bool FakeDesktop::setConsoleTitle(const std::u16string& title) {
    std::string text;
    for (char16_t c : title) text += c < 0x80 ? static_cast<char>(c) : '?';
    calls.push_back("title " + text);
    if (!console || consoleTitleFails) return false;
    console = title;
    return true;
}

inline WindowRef FakeDesktop::findWindowByTitle(const std::u16string& title) {
    for (const FakeWindow& w : windows_) {
        const std::u16string& current = w.handle == consoleWindow_ && console ? *console : w.title;
        if (current == title) return w.handle;
    }
    return nullptr;
}

inline ConsoleAttach FakeDesktop::attachParentConsole() {
    calls.push_back("attach");
    // As on the system: a process with a console is refused with "access denied".
    if (attachResult == ConsoleAttach::Unavailable) return attachResult;
    if (console) return ConsoleAttach::AlreadyAttached;
    if (attachResult == ConsoleAttach::Attached) console = u"parent console";
    return attachResult;
}

inline bool FakeDesktop::allocateConsole() {
    calls.push_back("allocate");
    if (allocateFails || console) return false;  // one console per process
    console = u"new console";
    return true;
}

inline void FakeDesktop::sleep(std::uint32_t milliseconds) {
    calls.push_back("sleep " + std::to_string(milliseconds));
    ticks += milliseconds;
}

inline bool FakeDesktop::enablePrivilege(const std::string& name) {
    calls.push_back("privilege " + name);
    return privilegeGranted;
}

inline bool FakeDesktop::restartSystem() {
    calls.push_back("restart");
    return true;
}

}  // namespace zendra::test
