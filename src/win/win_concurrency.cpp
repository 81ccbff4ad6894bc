// The launchers' threads, locks, condition variables and one-time initialisation over kernel32.
#include "concurrency.h"

#include <process.h>

#include <algorithm>
#include <memory>

#include "guard.h"
#include "win32.h"

namespace zendra {
namespace {

static_assert(sizeof(SRWLOCK) == sizeof(void*) && sizeof(CONDITION_VARIABLE) == sizeof(void*) &&
              sizeof(INIT_ONCE) == sizeof(void*));

PSRWLOCK asLock(void*& state) {
    return reinterpret_cast<PSRWLOCK>(&state);
}

PCONDITION_VARIABLE asCondition(void*& state) {
    return reinterpret_cast<PCONDITION_VARIABLE>(&state);
}

// One call of OnceFlag::execute, handed through InitOnceExecuteOnce.
struct OnceRun {
    void (*run)(void*);
    void* context;
};

// The initialisation callback (this library is built without exceptions: runs complete).
BOOL CALLBACK runOnce(PINIT_ONCE, PVOID parameter, PVOID*) {
    auto& once = *static_cast<OnceRun*>(parameter);
    once.run(once.context);
    return TRUE;
}

// Entry of a thread started by Thread::start: takes over the body and runs it.
unsigned __stdcall threadEntry(void* parameter) {
    std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(parameter));
    ZENDRA_TRY {
        (*body)();
    } ZENDRA_CATCH_ALL {
        // Nothing may leave a thread entry.
    }
    return 0;
}

}  // namespace

void Mutex::lock() noexcept {
    ::AcquireSRWLockExclusive(asLock(state_));
}

bool Mutex::try_lock() noexcept {
    return ::TryAcquireSRWLockExclusive(asLock(state_)) != 0;
}

void Mutex::unlock() noexcept {
    ::ReleaseSRWLockExclusive(asLock(state_));
}

void ConditionVariable::notify_one() noexcept {
    ::WakeConditionVariable(asCondition(state_));
}

void ConditionVariable::notify_all() noexcept {
    ::WakeAllConditionVariable(asCondition(state_));
}

void ConditionVariable::wait(std::unique_lock<Mutex>& lock) noexcept {
    ::SleepConditionVariableSRW(asCondition(state_), asLock(lock.mutex()->state_), INFINITE, 0);
}

std::uint64_t ConditionVariable::tickMs() noexcept {
    return ::GetTickCount64();
}

bool ConditionVariable::waitUntil(std::unique_lock<Mutex>& lock, std::uint64_t deadline) noexcept {
    const std::uint64_t now = ::GetTickCount64();
    if (now >= deadline) return false;
    // A time-out, a notification and a spurious wake-up all go back to the caller's test.
    const auto wait = static_cast<DWORD>(std::min<std::uint64_t>(deadline - now, INFINITE - 1));
    ::SleepConditionVariableSRW(asCondition(state_), asLock(lock.mutex()->state_), wait, 0);
    return true;
}

void OnceFlag::execute(void (*run)(void*), void* context) {
    OnceRun once{run, context};
    ::InitOnceExecuteOnce(reinterpret_cast<PINIT_ONCE>(&state_), runOnce, &once, nullptr);
}

bool Thread::start(std::function<void()> body) {
    if (handle_ != nullptr) return false;
    auto owned = std::make_unique<std::function<void()>>(std::move(body));
    const std::uintptr_t thread = ::_beginthreadex(nullptr, 0, threadEntry, owned.get(), 0, nullptr);
    if (thread == 0) return false;
    static_cast<void>(owned.release());  // the thread owns it now
    handle_ = reinterpret_cast<void*>(thread);
    return true;
}

void Thread::join() noexcept {
    if (handle_ == nullptr) return;
    ::WaitForSingleObject(handle_, INFINITE);
    ::CloseHandle(std::exchange(handle_, nullptr));
}

void Thread::detach() noexcept {
    if (handle_ != nullptr) ::CloseHandle(std::exchange(handle_, nullptr));
}

}  // namespace zendra
