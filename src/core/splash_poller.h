// The splash thread's 100 ms poll: whether the splash is still up, the auto-off rule, and the
// answers of the application's controller class.
#pragma once

#include "java_bridges.h"
#include "launcher.h"

namespace zendra {

// The period of the splash thread's poll in milliseconds.
inline constexpr unsigned kSplashPollPeriodMs = 100;

// What the controller's getAction asks for.
enum class ControllerAction { Nothing = 0, Hide = 1, NewStatusText = 2 };

// One splash thread's polling state; lives on that thread.
class SplashPoller {
public:
    // A poller for the splash window of the run; autoOff from property 145.
    SplashPoller(Launcher& l, WindowRef window, bool autoOff);
    // One tick; false when the splash thread is to end (it is then detached from the VM).
    // Without javaOpen the VM is going away: no call reaches it, and the controller is
    // forgotten without detaching.
    bool tick(bool javaOpen = true);
    // Detaches the thread from the VM when it is attached; for a thread that ends otherwise.
    void finish();
    // The thread's controller handles (for tests).
    const ControllerHandles& handles() const { return handles_; }

private:
    // Detaches and tells the loop to end.
    bool end();
    // Acts on one answer of the controller; false when the splash thread is to end.
    bool answer(int action);

    Launcher& l_;
    WindowRef window_;
    bool autoOff_;
    ControllerHandles handles_;
};

}  // namespace zendra
