// googletest's start signal for the threads it makes, over the launchers' own primitives:
// the C++ library of the win32 thread model has neither std::mutex nor
// std::condition_variable, on which googletest's own signal is built. Included ahead of every
// googletest source and test on Windows (with GTEST_HAS_NOTIFICATION_ set).
#pragma once

#include "concurrency.h"

namespace testing::internal {

// Lets threads wait until the thread that made them says go.
class Notification {
public:
    Notification() = default;
    Notification(const Notification&) = delete;
    Notification& operator=(const Notification&) = delete;
    // Lets every waiting thread (and every later one) go on.
    void Notify() {
        std::lock_guard guard(lock_);
        notified_ = true;
        changed_.notify_all();
    }
    // Waits until Notify was called.
    void WaitForNotification() {
        std::unique_lock guard(lock_);
        changed_.wait(guard, [this] { return notified_; });
    }

private:
    zendra::Mutex lock_;
    zendra::ConditionVariable changed_;
    bool notified_ = false;
};

}  // namespace testing::internal
