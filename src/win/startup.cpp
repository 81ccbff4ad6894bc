// The process entry of the launchers, in place of the C runtime's start-up code. The launchers
// take their command line from the system, use no C runtime argument vectors, environment
// copies, thread-local variables, floating-point environment or signal mapping, and import no
// data from other libraries, so what remains of the runtime's start-up is its application type
// (for the runtime's own error messages), the static constructors and the exit path, which runs
// the exit list (std::atexit, static destructors) and flushes the standard streams.
#include <cstdlib>

#include "win32.h"

// The C runtime's application type of a windowed program.
constexpr int kGuiApplication = 2;

extern "C" {
// msvcrt: the application type its error messages depend on.
void __cdecl __set_app_type(int type);
// The compiler's runtime support: runs the static constructors and registers the destructors.
void __main();
// msvcrt: adds a function to the exit list that its exit runs.
_onexit_t __cdecl _onexit(_onexit_t function);
// The C library's atexit, which the runtime's start-up code otherwise defines over _onexit (the
// import library offers msvcrt's own only as data).
int __cdecl atexit(void(__cdecl* function)());
// The entry named in the link (see zendra_launcher_executable in src/win/CMakeLists.txt). On x86
// the system enters with a stack aligned to 4 bytes only.
__attribute__((force_align_arg_pointer, noreturn, used)) void zendraStartup();
}

int __cdecl atexit(void(__cdecl* function)()) {
    return _onexit(reinterpret_cast<_onexit_t>(function)) == nullptr ? -1 : 0;
}

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE previous, LPWSTR commandLine, int showCommand);

void zendraStartup() {
    __set_app_type(kGuiApplication);
    __main();
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    ::GetStartupInfoW(&startup);
    const int show = (startup.dwFlags & STARTF_USESHOWWINDOW) != 0 ? startup.wShowWindow : SW_SHOWDEFAULT;
    // The entries read the command line themselves (currentCommandLine), so they are handed the
    // whole of it.
    std::exit(wWinMain(::GetModuleHandleW(nullptr), nullptr, ::GetCommandLineW(), show));
}
