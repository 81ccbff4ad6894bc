// Threads, locks, condition variables and one-time initialisation for the launchers. On
// Windows they sit directly on kernel32 (the C++ library's own would link a POSIX thread
// layer into every launcher); elsewhere they are the C++ library's types. The interface is
// the C++ library's, so std::lock_guard and std::unique_lock work with Mutex.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <type_traits>
#include <utility>

#if defined(_WIN32)

namespace zendra {

// A non-recursive lock (a slim reader/writer lock taken exclusively).
class Mutex {
public:
    constexpr Mutex() noexcept = default;
    Mutex(const Mutex&) = delete;
    Mutex& operator=(const Mutex&) = delete;
    // Takes the lock, waiting as long as another thread holds it.
    void lock() noexcept;
    // Takes the lock when it is free; false when another thread holds it.
    bool try_lock() noexcept;
    // Gives the lock back; the calling thread holds it.
    void unlock() noexcept;

private:
    friend class ConditionVariable;
    void* state_ = nullptr;  // the SRWLOCK (one pointer, all zero when free)
};

// A condition variable over Mutex.
class ConditionVariable {
public:
    constexpr ConditionVariable() noexcept = default;
    ConditionVariable(const ConditionVariable&) = delete;
    ConditionVariable& operator=(const ConditionVariable&) = delete;
    // Wakes one waiting thread.
    void notify_one() noexcept;
    // Wakes every waiting thread.
    void notify_all() noexcept;
    // Releases the held lock until notified (or woken spuriously), then takes it again.
    void wait(std::unique_lock<Mutex>& lock) noexcept;

    // Waits until ready() holds.
    template <typename Predicate>
    void wait(std::unique_lock<Mutex>& lock, Predicate ready) {
        while (!ready()) wait(lock);
    }

    // Waits until ready() holds or the time has passed; ready()'s last value.
    template <typename Rep, typename Period, typename Predicate>
    bool wait_for(std::unique_lock<Mutex>& lock, const std::chrono::duration<Rep, Period>& time, Predicate ready) {
        const auto ms = std::chrono::ceil<std::chrono::milliseconds>(time).count();
        const std::uint64_t deadline = tickMs() + static_cast<std::uint64_t>(ms > 0 ? ms : 0);
        while (!ready()) {
            if (!waitUntil(lock, deadline)) return ready();
        }
        return true;
    }

private:
    // The system's millisecond tick count (monotonic).
    static std::uint64_t tickMs() noexcept;
    // Waits until notified or the tick count reaches deadline; false when it had already.
    bool waitUntil(std::unique_lock<Mutex>& lock, std::uint64_t deadline) noexcept;

    void* state_ = nullptr;  // the CONDITION_VARIABLE (one pointer, all zero when unused)
};

// The state of a one-time initialisation.
class OnceFlag {
public:
    constexpr OnceFlag() noexcept = default;
    OnceFlag(const OnceFlag&) = delete;
    OnceFlag& operator=(const OnceFlag&) = delete;

private:
    template <typename Function>
    friend void callOnce(OnceFlag& flag, Function&& function);
    // Runs run(context) unless a run on this flag completed. Where exceptions exist, a run
    // that throws does not complete (the next call runs again) and its exception reaches the
    // caller; the Windows launchers throw none.
    void execute(void (*run)(void*), void* context);

    void* state_ = nullptr;  // the INIT_ONCE (one pointer, all zero before the first run)
};

// Calls function once per flag, however many threads call this; the others wait for it.
template <typename Function>
void callOnce(OnceFlag& flag, Function&& function) {
    using Callable = std::remove_reference_t<Function>;
    flag.execute([](void* context) { (*static_cast<Callable*>(context))(); },
                 const_cast<void*>(static_cast<const void*>(&function)));
}

}  // namespace zendra

#else

#include <condition_variable>
#include <system_error>
#include <thread>

namespace zendra {

using Mutex = std::mutex;
using ConditionVariable = std::condition_variable;
using OnceFlag = std::once_flag;

// Calls function once per flag, however many threads call this; the others wait for it.
template <typename Function>
void callOnce(OnceFlag& flag, Function&& function) {
    std::call_once(flag, std::forward<Function>(function));
}

}  // namespace zendra

#endif

namespace zendra {

// A thread of its own running one callable; joined at the latest when this object ends.
class Thread {
public:
    Thread() noexcept = default;
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;
    ~Thread() { join(); }
    // Runs body on a new thread (an exception ends only the body); false when no thread
    // could be made. Only once per object.
    bool start(std::function<void()> body);
    // Waits for the thread's end, when one was started and neither joined nor detached.
    void join() noexcept;
    // Lets the thread run on by itself.
    void detach() noexcept;

private:
#if defined(_WIN32)
    void* handle_ = nullptr;  // the thread's HANDLE while it may be joined
#else
    std::thread thread_;
#endif
};

#if !defined(_WIN32)
inline bool Thread::start(std::function<void()> body) {
    try {
        thread_ = std::thread([work = std::move(body)] {
            try {
                work();
            } catch (...) {
                // Nothing may leave a thread.
            }
        });
        return true;
    } catch (const std::system_error&) {
        return false;
    }
}

inline void Thread::join() noexcept {
    if (thread_.joinable()) thread_.join();
}

inline void Thread::detach() noexcept {
    if (thread_.joinable()) thread_.detach();
}
#endif

// Runs body on a thread of its own that nobody waits for; false when no thread could be made.
inline bool startDetachedThread(std::function<void()> body) {
    Thread thread;
    const bool started = thread.start(std::move(body));
    thread.detach();
    return started;
}

}  // namespace zendra
