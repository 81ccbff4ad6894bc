#include "splash.h"

#include <utility>

#include "guard.h"
#include "process_windows.h"
#include "property_ids.h"
#include "splash_layout.h"
#include "splash_poller.h"
#include "splash_state.h"

namespace zendra {
namespace {

// Publishes the new window and shows it, unless a hide came first (the window then stays
// hidden and its thread ends at the first tick).
void showCreatedWindow(Launcher& l, SplashShared& shared, WindowRef window, int showCommand) {
    // Under the lock, so that a hide on another thread comes either before (and the window is
    // never shown) or after (and hides it).
    std::lock_guard<Mutex> guard(shared.lock);
    shared.window = window;
    if (shared.hidden) return;
    l.errorOwnerWindow = window;
    l.os.splash.showWindow(window, showCommand);
    if (l.store.getIntProperty(prop::splashTopMost) != 0) l.os.splash.makeTopMost(window);
}

// Creates the window; nullptr when another thread claimed it before or creation failed.
WindowRef createWindow(Launcher& l, SplashShared& shared) {
    {
        std::lock_guard<Mutex> guard(shared.lock);
        if (shared.started) return nullptr;
        shared.started = true;
    }
    l.log.message("Initializing splash screen");
    return l.os.splash.createSplashWindow(splashWindowLayout(l.store, l.os.splash.desktopRect()));
}

// Forgets the window whose thread ends: it goes with the thread, so it can neither be hidden
// nor own error boxes any more.
void forgetWindow(Launcher& l, SplashShared& shared, WindowRef window) {
    std::lock_guard<Mutex> guard(shared.lock);
    if (shared.window == window) shared.window = nullptr;
    if (l.errorOwnerWindow == window) l.errorOwnerWindow = nullptr;
}

// One tick of the poll, made only while the Launcher exists, with VM calls only while the VM
// is not being destroyed.
bool guardedTick(SplashShared& shared, SplashPoller& poller) {
    std::lock_guard<Mutex> use(shared.useLock);
    return shared.launcher != nullptr && poller.tick(!shared.javaClosed);
}

// The splash thread: creates and shows the window, then polls until the splash ends.
void splashThread(const std::shared_ptr<SplashShared>& shared, int showCommand) {
    std::unique_lock<Mutex> use(shared->useLock);
    if (shared->launcher == nullptr) return;
    Launcher& l = *shared->launcher;
    l.log.message("Showing splash screen");
    const WindowRef window = createWindow(l, *shared);
    if (window == nullptr) return;
    showCreatedWindow(l, *shared, window, showCommand);
    SplashPoller poller(l, window, l.store.getIntProperty(prop::splashAutoOff) != 0);
    SplashServices& services = l.os.splash;  // the platform outlives the Launcher
    use.unlock();
    services.runMessageLoop(window, kSplashPollPeriodMs, [&] { return guardedTick(*shared, poller); });
    use.lock();
    if (shared->launcher == nullptr) return;
    if (!shared->javaClosed) poller.finish();
    forgetWindow(l, *shared, window);
}

// The window variant of hideSplash.
void hideWindow(Launcher& l, SplashShared& shared) {
    l.log.message("Hiding splash screen");
    WindowRef window = nullptr;
    {
        std::lock_guard<Mutex> guard(shared.lock);
        const bool wasStarted = std::exchange(shared.started, true);
        shared.hidden = true;
        if (!wasStarted) return;
        window = shared.window;
        // Error boxes after a hide get no owner: the window goes away with its thread.
        if (l.errorOwnerWindow == window) l.errorOwnerWindow = nullptr;
    }
    if (window != nullptr) l.os.splash.hideWindow(window);
    const std::uint32_t self = l.os.process.currentProcessId();
    const auto foreground = l.os.splash.foregroundProcessId();
    if (foreground && *foreground != self) activateProcessWindows(l, self, false);
}

}  // namespace

SplashState::~SplashState() {
    std::lock_guard<Mutex> use(shared->useLock);
    shared->launcher = nullptr;
}

std::shared_ptr<SplashState> newSplashState() {
    return std::make_shared<SplashState>();
}

bool usesRuntimeSplash(const Launcher& l) {
    return l.store.getIntProperty(prop::useJavaSplash) != 0;
}

void showSplash(Launcher& l, int showCommand) {
    l.hideSplash = [&l] { hideSplash(l); };
    if (usesRuntimeSplash(l)) {
        showRuntimeSplash(l);
        return;
    }
    std::shared_ptr<SplashShared> shared = l.splash->shared;
    {
        std::lock_guard<Mutex> use(shared->useLock);
        shared->launcher = &l;
    }
    l.log.message("Starting splash screen thread");
    const bool started = l.os.splash.startThread([shared, showCommand] {
        ZENDRA_TRY {
            splashThread(shared, showCommand);
        } ZENDRA_CATCH_ALL {
            // Nothing may leave the thread; the splash just ends.
        }
    });
    if (!started) l.log.error("Could not start the splash screen thread");
}

void hideSplash(Launcher& l) {
    if (usesRuntimeSplash(l)) {
        hideRuntimeSplash(l);
        return;
    }
    hideWindow(l, *l.splash->shared);
}

void stopSplashJavaCalls(Launcher& l) {
    SplashShared& shared = *l.splash->shared;
    std::lock_guard<Mutex> use(shared.useLock);
    shared.javaClosed = true;
}

void setSplashStatusText(Launcher& l, const std::u16string& text) {
    SplashShared& shared = *l.splash->shared;
    WindowRef window = nullptr;
    {
        std::lock_guard<Mutex> guard(shared.lock);
        if (!shared.started) return;
        window = shared.window;
    }
    if (window == nullptr) return;
    l.os.splash.setStatusText(window, truncated(l.os.codec.toAnsi(text).text, kSplashTextLimit));
}

}  // namespace zendra
