// The report of std::terminate, of the C++ library's own error throws and of running out of
// memory, in place of the library's definitions of the same names. Linked into each launcher as
// an object file, these definitions win over the library's, so that the launchers carry none of
// the exception machinery: no demangler (the report names the type as the compiler spells it),
// none of the library's exception classes with the reference-counted strings they carry, no
// unwinder or personality routine.
//
// The launchers are built without exceptions. The library throws only for a broken precondition
// in the launcher's own code (an index past an end, a string longer than memory) or when memory
// runs out: each ends the launcher with the report an uncaught exception of that type gives.
#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cxxabi.h>
#include <exception>
#include <memory>
#include <new>
#include <string>

#include "logger.h"
#include "text_format.h"
#include "win32.h"

namespace {

// Ends the process with the report of an uncaught exception of type `type` carrying `what`.
[[noreturn]] void reportLibraryError(const char* type, const char* what) {
    std::fputs("terminate called after throwing an instance of '", stderr);
    std::fputs(type, stderr);
    std::fputs("'\n  what():  ", stderr);
    std::fputs(what, stderr);
    std::fputs("\n", stderr);
    std::abort();
}

}  // namespace

namespace __gnu_cxx {

void __verbose_terminate_handler() {
    static bool terminating = false;
    if (terminating) {
        std::fputs("terminate called recursively\n", stderr);
        std::abort();
    }
    terminating = true;
    // Nothing in a launcher throws (the library's throws end above with their own report), so
    // no exception is ever active here: asking the runtime would link its per-thread exception
    // state, and on x86 the emulated thread-local storage behind it.
    std::fputs("terminate called without an active exception\n", stderr);
    std::abort();
}

}  // namespace __gnu_cxx

namespace std {

void __throw_bad_alloc() { reportLibraryError("std::bad_alloc", "std::bad_alloc"); }
void __throw_bad_array_new_length() { reportLibraryError("std::bad_array_new_length", "std::bad_array_new_length"); }
void __throw_bad_cast() { reportLibraryError("std::bad_cast", "std::bad_cast"); }
void __throw_bad_typeid() { reportLibraryError("std::bad_typeid", "std::bad_typeid"); }
void __throw_bad_exception() { reportLibraryError("std::bad_exception", "std::bad_exception"); }
void __throw_bad_function_call() { reportLibraryError("std::bad_function_call", "bad_function_call"); }
void __throw_logic_error(const char* what) { reportLibraryError("std::logic_error", what); }
void __throw_domain_error(const char* what) { reportLibraryError("std::domain_error", what); }
void __throw_invalid_argument(const char* what) { reportLibraryError("std::invalid_argument", what); }
void __throw_length_error(const char* what) { reportLibraryError("std::length_error", what); }
void __throw_out_of_range(const char* what) { reportLibraryError("std::out_of_range", what); }
void __throw_runtime_error(const char* what) { reportLibraryError("std::runtime_error", what); }
void __throw_range_error(const char* what) { reportLibraryError("std::range_error", what); }
void __throw_overflow_error(const char* what) { reportLibraryError("std::overflow_error", what); }
void __throw_underflow_error(const char* what) { reportLibraryError("std::underflow_error", what); }

// std::unique_lock's misuse (no mutex, or one already held): the system_error and its error
// categories would bring the library's string-carrying error classes back.
void __throw_system_error(int code) {
    reportLibraryError("std::system_error", zendra::formatText("error %d", code).c_str());
}

#if !__cpp_rtti
// make_shared's check whether a deleter query names its tag, for a query made with type
// information; a launcher has none to make. The library's definition would bring its shared
// pointer errors, and with them the exception machinery.
bool _Sp_make_shared_tag::_S_eq(const type_info&) noexcept { return false; }
#endif

void __throw_out_of_range_fmt(const char* format, ...) {
    va_list args;
    va_start(args, format);
    const std::string what = zendra::formatTextList(format, args);
    va_end(args);
    reportLibraryError("std::out_of_range", what.c_str());
}

}  // namespace std

namespace {

// Memory for new: the C runtime's, and the out-of-memory report when there is none.
void* allocate(std::size_t size) {
    if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
    std::__throw_bad_alloc();
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size == 0 ? 1 : size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return std::malloc(size == 0 ? 1 : size); }

// Guards of function-local statics, in place of the library's, which throw on a recursive
// initialisation and so would bring the whole exception machinery back. As the library's do on
// this thread model, one process-wide recursive lock is held while a static is initialised.
// Byte 0 of a guard: initialised; byte 1: initialisation under way.
namespace {

SRWLOCK staticsLock = SRWLOCK_INIT;
std::atomic<DWORD> staticsOwner{0};
int staticsDepth = 0;

void lockStatics() {
    const DWORD self = ::GetCurrentThreadId();
    if (staticsOwner.load(std::memory_order_relaxed) != self) {
        ::AcquireSRWLockExclusive(&staticsLock);
        staticsOwner.store(self, std::memory_order_relaxed);
    }
    ++staticsDepth;
}

void unlockStatics() {
    if (--staticsDepth > 0) return;
    staticsOwner.store(0, std::memory_order_relaxed);
    ::ReleaseSRWLockExclusive(&staticsLock);
}

std::atomic_ref<char> guardByte(__cxxabiv1::__guard* guard, int index) {
    return std::atomic_ref<char>(reinterpret_cast<char*>(guard)[index]);
}

}  // namespace

extern "C" int __cxxabiv1::__cxa_guard_acquire(__guard* guard) {
    if (guardByte(guard, 0).load(std::memory_order_acquire) != 0) return 0;
    lockStatics();
    if (guardByte(guard, 0).load(std::memory_order_relaxed) != 0) {
        unlockStatics();
        return 0;
    }
    if (guardByte(guard, 1).load(std::memory_order_relaxed) != 0) {
        reportLibraryError("__gnu_cxx::recursive_init_error", "std::exception");
    }
    guardByte(guard, 1).store(1, std::memory_order_relaxed);
    return 1;
}

extern "C" void __cxxabiv1::__cxa_guard_release(__guard* guard) noexcept {
    guardByte(guard, 1).store(0, std::memory_order_relaxed);
    guardByte(guard, 0).store(1, std::memory_order_release);
    unlockStatics();
}

extern "C" void __cxxabiv1::__cxa_guard_abort(__guard* guard) noexcept {
    guardByte(guard, 1).store(0, std::memory_order_relaxed);
    unlockStatics();
}
