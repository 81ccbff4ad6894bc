// The launchers' own threads, locks, condition variables and one-time initialisation on kernel32.
#include <gtest/gtest.h>

#include <chrono>

#include "concurrency.h"

namespace zendra {
namespace {

using namespace std::chrono_literals;

TEST(ConcurrencyWait, TimedWaitEndsOnTimeOutOrOnNotify) {
    struct Case {
        const char* name;
        bool notified;        // another thread makes the predicate true and notifies
        bool expected;        // what wait_for returns
    };
    for (const Case& c : {Case{"time-out", false, false}, Case{"notify", true, true}}) {
        SCOPED_TRACE(c.name);
        Mutex lock;
        ConditionVariable changed;
        bool ready = false;
        Thread notifier;
        if (c.notified) {
            ASSERT_TRUE(notifier.start([&] {
                std::lock_guard guard(lock);
                ready = true;
                changed.notify_one();
            }));
        }
        const auto started = std::chrono::steady_clock::now();
        std::unique_lock guard(lock);
        // A notified wait must not sit out its time; one without a notification must.
        const bool result = changed.wait_for(guard, c.notified ? 60s : 50ms, [&] { return ready; });
        guard.unlock();
        notifier.join();
        EXPECT_EQ(result, c.expected);
        if (c.notified) {
            EXPECT_LT(std::chrono::steady_clock::now() - started, 30s);
        }
    }
}

TEST(ConcurrencyLock, AHeldLockIsTakenByNoOtherThreadUntilGivenBack) {
    Mutex lock;
    // Whether another thread can take the lock now.
    const auto takenElsewhere = [&lock] {
        bool taken = false;
        Thread other;
        EXPECT_TRUE(other.start([&] {
            taken = lock.try_lock();
            if (taken) lock.unlock();
        }));
        other.join();
        return taken;
    };
    {
        std::lock_guard guard(lock);
        EXPECT_FALSE(takenElsewhere());
    }
    EXPECT_TRUE(takenElsewhere());
}

TEST(ConcurrencyOnce, RunsOnce) {
    OnceFlag flag;
    int runs = 0;
    for (int i = 0; i < 3; ++i) callOnce(flag, [&] { ++runs; });
    EXPECT_EQ(runs, 1);
}

}  // namespace
}  // namespace zendra
