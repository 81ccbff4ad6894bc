// splash_probe: a test-only program that drives the splash screen of a packaged record
// directly, for the end-to-end tests under Wine. Package it like a launcher (its record and
// resources are read from its own file), then run it with steps:
//   show[=N]      showSplash with show command N (default: the program's own nCmdShow)
//   hide          hideSplash
//   status=TEXT   setSplashStatusText from the main thread
//   vm            creates a VM with the jvm.dll double named by ZENDRA_JVM_DOUBLE
//   jre=DIR       makes DIR the Java home (for the runtime's splash library)
//   window        opens a visible top-level window of this process
//   mark=NAME     creates the file NAME (relative names: in the working directory)
//   await=NAME    waits (at most 30 s) until the file NAME exists
//   hidden=NAME   waits (at most 10 s) until no splash window of this process is visible, then
//                 writes the milliseconds it waited to the file NAME
//   sleep=MS      waits MS milliseconds, running this thread's messages
//   fatal=TEXT    reports TEXT as a fatal error (exit code 1)
//   printlog      prints the diagnostic log's path on standard output
// Errors go to standard error with exit code 2.
#include <jni.h>

#include <cstdio>
#include <string>

#include "command_line.h"
#include "errors.h"
#include "launcher.h"
#include "splash.h"
#include "text.h"
#include "win32.h"
#include "win_platform.h"

namespace {

using zendra::Launcher;

// Runs the calling thread's pending messages.
void pumpMessages() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

// Waits while running messages.
void pause(DWORD milliseconds) {
    const ULONGLONG end = ::GetTickCount64() + milliseconds;
    while (::GetTickCount64() < end) {
        pumpMessages();
        ::Sleep(10);
    }
}

[[noreturn]] void fail(const std::string& text) {
    std::fprintf(stderr, "splash_probe: %s\n", text.c_str());
    std::fflush(stderr);
    ::ExitProcess(2);
}

// Creates the VM through the jvm.dll double and publishes it as createJVM would.
void createVm(Launcher& l) {
    const char* path = std::getenv("ZENDRA_JVM_DOUBLE");
    if (path == nullptr) fail("ZENDRA_JVM_DOUBLE is not set");
    std::string dll = path;
    if (!dll.empty() && dll.front() == '/') dll = "Z:" + dll;
    const HMODULE module = ::LoadLibraryA(dll.c_str());
    using CreateFn = jint(JNICALL*)(JavaVM**, void**, void*);
    const FARPROC entry = ::GetProcAddress(module, "JNI_CreateJavaVM");
    const auto create = reinterpret_cast<CreateFn>(reinterpret_cast<void (*)()>(entry));
    if (create == nullptr) fail("no JNI_CreateJavaVM in " + dll);
    JavaVMInitArgs args{};
    args.version = JNI_VERSION_1_2;
    JavaVM* vm = nullptr;
    void* env = nullptr;
    if (create(&vm, &env, &args) != JNI_OK) fail("JNI_CreateJavaVM failed");
    l.vm = vm;
    l.env = static_cast<JNIEnv*>(env);
    l.jvmCreated = true;
}

// A visible top-level window of this process.
void openWindow() {
    const HWND window = ::CreateWindowExW(0, L"STATIC", L"splash probe window", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                          200, 100, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    if (window == nullptr) fail("CreateWindowExW failed");
    pumpMessages();
}

void awaitFile(const std::string& name) {
    const ULONGLONG end = ::GetTickCount64() + 30000;
    while (::GetFileAttributesA(name.c_str()) == INVALID_FILE_ATTRIBUTES) {
        if (::GetTickCount64() > end) fail("timed out waiting for " + name);
        pause(20);
    }
}

void markFile(const std::string& name, const std::string& content = "") {
    const HANDLE file = ::CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) fail("cannot create " + name);
    DWORD written = 0;
    ::WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    ::CloseHandle(file);
}

// Whether a splash window of this process is visible.
bool splashVisible() {
    for (HWND w = ::FindWindowExA(nullptr, nullptr, "ZendraSplashScreen", nullptr); w != nullptr;
         w = ::FindWindowExA(nullptr, w, "ZendraSplashScreen", nullptr)) {
        DWORD process = 0;
        ::GetWindowThreadProcessId(w, &process);
        if (process == ::GetCurrentProcessId() && ::IsWindowVisible(w)) return true;
    }
    return false;
}

void awaitHidden(const std::string& name) {
    const ULONGLONG start = ::GetTickCount64();
    while (splashVisible()) {
        if (::GetTickCount64() - start > 10000) fail("the splash stayed visible");
        pumpMessages();
        ::Sleep(5);
    }
    markFile(name, std::to_string(::GetTickCount64() - start));
}

// Runs one step word.
void runStep(Launcher& l, const std::string& step, int showCommand) {
    const std::size_t equals = step.find('=');
    const std::string word = step.substr(0, equals);
    const std::string value = equals == std::string::npos ? "" : step.substr(equals + 1);
    if (word == "show") {
        zendra::showSplash(l, value.empty() ? showCommand : std::stoi(value));
    } else if (word == "hide") {
        zendra::hideSplash(l);
    } else if (word == "status") {
        zendra::setSplashStatusText(l, l.os.codec.fromAnsi(value));
    } else if (word == "vm") {
        createVm(l);
    } else if (word == "jre") {
        l.jvmHome = value;
    } else if (word == "window") {
        openWindow();
    } else if (word == "mark") {
        markFile(value);
    } else if (word == "await") {
        awaitFile(value);
    } else if (word == "hidden") {
        awaitHidden(value);
    } else if (word == "sleep") {
        pause(static_cast<DWORD>(std::stoul(value)));
    } else if (word == "fatal") {
        zendra::fatalMessage(l, value);
    } else if (word == "printlog") {
        std::printf("%s\n", l.log.getLogFilePath().value_or("").c_str());
        std::fflush(stdout);
    } else {
        fail("unknown step " + step);
    }
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, LPWSTR, int showCommand) {
    try {
        zendra::win::WinPlatform& system = zendra::win::processPlatform();
        const auto line = zendra::win::currentCommandLine(system.codec());
        Launcher l(system.platform(), zendra::LauncherKind::App);
        zendra::ArgumentList args;
        zendra::splitCommandLine(line.commandLine, args);
        zendra::launcherInit(l, &args);
        for (std::size_t i = 1; i < args.size(); ++i) runStep(l, system.codec().toAnsi(args[i]).text, showCommand);
        return 0;
    } catch (const std::exception& e) {
        fail(e.what());
    }
}
