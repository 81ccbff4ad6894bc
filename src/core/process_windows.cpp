#include "process_windows.h"

#include <optional>
#include <string>

#include "concurrency.h"
#include "property_ids.h"

namespace zendra {
namespace {

constexpr std::int32_t kGuiExecutable = 1;          // property 107 of a GUI launcher
constexpr std::uint32_t kRetitleDelayMs = 40;       // lets the console window show its new title
constexpr std::uint32_t kRebootDelayMs = 5000;
constexpr const char* kShutdownPrivilege = "SeShutdownPrivilege";

// Finds the console window by giving the console a title no other window has.
WindowRef lookUpConsoleWindow(Launcher& l) {
    if (l.store.getIntProperty(prop::launcherType) == kGuiExecutable) return nullptr;
    Desktop& desktop = l.os.desktop;
    const std::optional<std::u16string> saved = desktop.consoleTitle();
    if (!saved) return nullptr;
    // The tick count and process id, printed as signed numbers like every "%d".
    const std::string unique = formatText("%d/%d", static_cast<int>(desktop.tickCount()),
                                          static_cast<int>(l.os.process.currentProcessId()));
    const std::u16string title = l.os.codec.fromAnsi(unique);
    if (!desktop.setConsoleTitle(title)) return nullptr;
    desktop.sleep(kRetitleDelayMs);
    WindowRef found = desktop.findWindowByTitle(title);
    desktop.setConsoleTitle(*saved);
    return found;
}

}  // namespace

WindowRef findConsoleWindow(Launcher& l) {
    callOnce(l.consoleWindowLookup, [&l] { l.consoleWindow = lookUpConsoleWindow(l); });
    return l.consoleWindow;
}

int countProcessWindows(Launcher& l, std::uint32_t processId) {
    const WindowRef console = findConsoleWindow(l);
    Desktop& desktop = l.os.desktop;
    int count = 0;
    for (const TopLevelWindow& w : desktop.topLevelWindows()) {
        if (w.processId == processId && w.window != console && desktop.isVisible(w.window)) ++count;
    }
    return count;
}

void activateProcessWindows(Launcher& l, std::uint32_t processId, bool restore) {
    Desktop& desktop = l.os.desktop;
    // Every window is handled, so with several the last one ends up in front.
    for (const TopLevelWindow& w : desktop.topLevelWindows()) {
        if (w.processId != processId || !desktop.isVisible(w.window)) continue;
        l.log.message("found window %p", w.window);
        if (restore && desktop.isMinimised(w.window)) {
            l.log.message("restore");
            desktop.showRestored(w.window);
        }
        l.log.message("foreground");
        desktop.setForeground(w.window);
        l.log.message("popup");
        desktop.setForeground(desktop.lastActivePopup(w.window));
        l.log.message("done");
    }
}

bool attachConsole(Launcher& l) {
    Desktop& desktop = l.os.desktop;
    const ConsoleAttach attached = desktop.attachParentConsole();
    if (attached != ConsoleAttach::AlreadyAttached) {
        if (attached != ConsoleAttach::Attached && !desktop.allocateConsole()) return false;
        desktop.reopenStandardStreams();
    }
    // The VM learns the console's code page from the launcher.
    l.consoleOutputCodePage = l.os.process.consoleOutputCodePage();
    return true;
}

void rebootSystem(Launcher& l) {
    Desktop& desktop = l.os.desktop;
    desktop.sleep(kRebootDelayMs);
    // One attempt, no message: without the privilege the restart is not even asked for.
    if (!desktop.enablePrivilege(kShutdownPrivilege)) return;
    desktop.restartSystem();
}

bool isRebootRequest(std::string_view argumentText) {
    return argumentText == "__qln_reboot";
}

}  // namespace zendra
