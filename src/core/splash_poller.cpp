#include "splash_poller.h"

#include "process_windows.h"
#include "splash.h"

namespace zendra {

SplashPoller::SplashPoller(Launcher& l, WindowRef window, bool autoOff) : l_(l), window_(window), autoOff_(autoOff) {}

bool SplashPoller::tick(bool javaOpen) {
    if (!javaOpen) handles_ = ControllerHandles{};
    if (!l_.os.splash.isVisible(window_)) return end();
    if (autoOff_ && countProcessWindows(l_, l_.os.process.currentProcessId()) > 1) {
        l_.log.message("Splash screen auto off");
        hideSplash(l_);
        return end();
    }
    if (!javaOpen) return true;
    if (handles_.env == nullptr) attachController(l_, handles_);
    if (handles_.env == nullptr || !handles_.usable()) return true;
    return answer(controllerAction(handles_));
}

bool SplashPoller::answer(int action) {
    switch (static_cast<ControllerAction>(action)) {
        case ControllerAction::Hide:
            hideSplash(l_);
            return end();
        case ControllerAction::NewStatusText:
            if (auto text = controllerText(handles_)) setSplashStatusText(l_, *text);
            return true;
        default:
            return true;
    }
}

void SplashPoller::finish() {
    detachController(l_, handles_);
}

bool SplashPoller::end() {
    finish();
    return false;
}

}  // namespace zendra
