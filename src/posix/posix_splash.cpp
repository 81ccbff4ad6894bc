#include "posix_splash.h"

#include <thread>

namespace zendra::posix {

bool PosixSplashServices::startThread(std::function<void()> body) {
    try {
        std::thread([work = std::move(body)] {
            try {
                if (work) work();
            } catch (...) {
                // Nobody waits for this thread: its failure ends with it.
            }
        }).detach();
        return true;
    } catch (...) {
        return false;
    }
}

}  // namespace zendra::posix
