// The splash screen's state, shared by the thread that shows it, the splash thread and every
// caller of hideSplash and setSplashStatusText.
#pragma once

#include <memory>

#include "concurrency.h"
#include "launcher.h"

namespace zendra {

// State of the splash that outlives the Launcher while a splash thread still runs.
struct SplashShared {
    Mutex lock;                 // guards the fields below (never held across a window call)
    bool started = false;            // splashStarted: a splash thread claimed the window, a hide came
                                     // first, or the runtime's library took the image
    bool hidden = false;             // a hide was asked for (window variant)
    WindowRef window = nullptr;      // the splash window while its thread runs
    void* libraryClose = nullptr;    // "SplashClose" of the runtime's splash library

    Mutex useLock;              // held while the splash thread uses the Launcher
    Launcher* launcher = nullptr;    // cleared (under useLock) when the Launcher ends
    bool javaClosed = false;         // set (under useLock) before the VM is destroyed
};

// The Launcher's handle on the splash: ending it cuts the splash thread off the Launcher.
struct SplashState {
    SplashState() : shared(std::make_shared<SplashShared>()) {}
    SplashState(const SplashState&) = delete;
    SplashState& operator=(const SplashState&) = delete;
    ~SplashState();

    std::shared_ptr<SplashShared> shared;
};

// Whether the Java runtime's splash library serves instead of the window (property 10123).
bool usesRuntimeSplash(const Launcher& l);

// Shows the image through the runtime's splash library (caller's thread).
void showRuntimeSplash(Launcher& l);

// Closes the runtime's splash library image when it was shown.
void hideRuntimeSplash(Launcher& l);

}  // namespace zendra
