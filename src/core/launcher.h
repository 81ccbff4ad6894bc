// The process-wide state of one launcher run and its common start-up.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "command_line.h"
#include "concurrency.h"
#include "language.h"
#include "log.h"
#include "platform.h"
#include "property_store.h"

struct JavaVM_;   // the JNI invocation interface (jni.h); only pointers are kept here
struct JNIEnv_;   // the JNI environment of one thread (jni.h)

namespace zendra {

struct SplashState;  // the splash screen's state (splash.cpp)
// A new, idle splash state (splash.cpp).
std::shared_ptr<SplashState> newSplashState();

// Which of the three programs is running.
enum class LauncherKind { App, Service, Setup };

// Everything one launcher process knows; created by the entry, passed to every step.
struct Launcher {
    // A launcher of the given kind over the platform's services.
    Launcher(Platform& platform, LauncherKind kind);

    Platform& os;
    LauncherKind kind;
    DiagnosticLog log;
    PropertyStore store;
    LanguageSelection language;
    std::string launcherTempDir;         // per-run directory; empty when none exists
    bool errorDisplayMode = true;        // true: message boxes; false: standard error
    WindowRef errorOwnerWindow = nullptr;
    std::string productTitle;
    char flavourLetter = '\0';
    bool languageRestart = false;
    std::uint32_t unextractedPosition = 0;
    std::function<void()> hideSplash;    // set while a splash screen can be shown
    std::optional<std::string> executablePathCache;
    std::optional<std::string> executableDirCache;

    // The Java runtime, as published by LoadDLL.
    std::string jvmHome;                 // "<dir of java.exe>\\.." form; empty before the first attempt
    LibraryRef jvmLibrary = nullptr;     // the loaded VM library
    void* createJavaVm = nullptr;        // its JNI_CreateJavaVM export
    int jvmLocationKind = 0;             // LocationKind of the last LoadDLL attempt (0: none)
    std::string jvmJavaExe;              // the java.exe of the last LoadDLL attempt
    bool useVersionCache = true;         // the version-cache switch: checkJavaExe may read the cache
    int wordSize = static_cast<int>(sizeof(void*) * 8);  // 64 or 32: the runtimes this build can load

    // What the launch hands to the Java side (system properties).
    std::optional<std::string> instanceSemaphoreName;  // the single-instance semaphore, when one was made
    std::unique_ptr<NamedSemaphore> instanceSemaphore; // its handle, held open until the process ends
    std::u16string commandLine;             // the process command line as the system gives it (UTF-16)
    std::optional<ArgumentList> givenArguments;  // the arguments, when the system hands them split (Linux argv)
    bool manualJre = false;                 // the installer's runtime was located by hand
    std::uint32_t processId = 0;            // this process's id (names the hand-over file)
    std::uint32_t consoleOutputCodePage = 0;  // the console output code page

    // The Java VM of the process, as createJVM leaves it.
    JavaVM_* vm = nullptr;                  // kept until the process ends; other threads attach through it
    JNIEnv_* env = nullptr;                 // the launching thread's environment
    std::atomic<bool> jvmCreated{false};    // set once, after vm and env, by the launching thread
    std::shared_ptr<const void> vmInitArgs; // the VM's initialisation arguments, kept alive with the VM

    // The process's console window, looked up once by findConsoleWindow (nullptr: none).
    OnceFlag consoleWindowLookup;
    WindowRef consoleWindow = nullptr;

    // The splash screen (splash.cpp). Keep it the last member: its end stops a running splash
    // thread from using this object any further.
    std::shared_ptr<SplashState> splash = newSplashState();
};

// Reads the configuration record of the own executable into the store; returns property 107.
std::int32_t loadConfiguration(Launcher& l, const ArgumentList* args);

// The common start-up: log switch, record, flavour, working directory, log prompt.
void launcherInit(Launcher& l, ArgumentList* args);

// Whether the flavour word selects the quillon launcher classes.
bool isQuillonFlavour(const Launcher& l);

}  // namespace zendra
