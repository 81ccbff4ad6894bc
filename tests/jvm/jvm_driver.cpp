// Runs one launch of the real launch code against a real Java VM, as a launcher entry would:
// native library path, runtime loading, launchProgram, and the entry's ending on failure.
//   jvm_driver <case>
// Standard error carries what the VM and the launcher show; standard output what the
// controller thread got; the Java classes and this driver append to $ZENDRA_TEST_RECORD; the
// launcher's diagnostic log is copied to $ZENDRA_TEST_LOG. The exit code is the launcher's.
#include <atomic>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <fstream>
#include <future>
#include <thread>

#include "class_path.h"
#include "driver_cases.h"
#include "errors.h"
#include "java_bridges.h"
#include "jvm_cases.h"
#include "jvm_launcher.h"
#include "jvm_loader.h"
#include "property_ids.h"

namespace zendra::jvmtest {
namespace {

void appendRecord(const std::string& line) {
    const char* path = std::getenv(kRecordVariable);
    if (path == nullptr) return;
    std::ofstream out(path, std::ios::app | std::ios::binary);
    out << line << "\n";
}

void copyLog(Run& r) {
    const char* target = std::getenv(kLogVariable);
    auto path = r.l.log.getLogFilePath();
    if (target == nullptr || !path) return;
    std::ofstream out(target, std::ios::binary);
    out << r.sys.fs.content(*path);
}

// What the polling thread learnt, written to standard output in one piece at its end.
// Set once launchProgram has returned (the VM has been destroyed by then).
std::atomic<bool> launchReturned{false};

// Waits, at most 20 s, for launchProgram to return; the line tells which came first.
std::string awaitLaunchReturn() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!launchReturned.load()) {
        if (std::chrono::steady_clock::now() > deadline) return "launch still running while attached\n";
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return "launch returned while attached\n";
}

std::string converse(Launcher& l, ControllerHandles& handles, bool stayAttached) {
    std::string lines = handles.usable() ? "controller usable\n" : "controller not usable\n";
    if (!handles.usable()) return lines;
    for (int i = 0; i < 3; ++i) lines += "action " + std::to_string(controllerAction(handles)) + "\n";
    for (int i = 0; i < 2; ++i) {
        std::optional<std::u16string> text = controllerText(handles);
        lines += text ? "text " + toUtf8(*text) + "\n" : "text none\n";
    }
    if (stayAttached) lines += awaitLaunchReturn();
    detachController(l, handles);
    return lines + "detached\n";
}

// As a splash does: fetch every new text, end at the request to hide (or after 20 s). The
// record tells the application when this thread has left the VM, so that it can let the VM end.
std::string followSplash(Launcher& l, ControllerHandles& handles) {
    std::string lines = handles.usable() ? "controller usable\n" : "controller not usable\n";
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (handles.usable() && std::chrono::steady_clock::now() < deadline) {
        const int action = controllerAction(handles);
        if (action == 1) {
            lines += "hide\n";
            break;
        }
        if (action == 2) {
            std::optional<std::u16string> text = controllerText(handles);
            lines += text ? "text " + toUtf8(*text) + "\n" : "text none\n";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    detachController(l, handles);
    appendRecord("native: splash detached");
    return lines + "detached\n";
}

// The splash thread's part: ask before the VM exists, then until attached, then talk.
void pollController(Launcher& l, std::promise<void>& firstAsked, bool stayAttached, bool follow) noexcept {
    try {
        ControllerHandles handles;
        std::string lines = attachController(l, handles) == nullptr ? "before VM: none\n" : "before VM: attached\n";
        firstAsked.set_value();
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (attachController(l, handles) == nullptr) {
            if (std::chrono::steady_clock::now() > deadline) {
                std::fputs((lines + "never attached\n").c_str(), stdout);
                return;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        lines += follow ? followSplash(l, handles) : converse(l, handles, stayAttached);
        std::fputs(lines.c_str(), stdout);
        std::fflush(stdout);
    } catch (...) {
        std::fputs("controller thread failed\n", stdout);
    }
}

// The launcher entry's ending when launchProgram fails (the VM could not start or main threw).
[[noreturn]] void endAfterFailedLaunch(Launcher& l) {
    if (l.kind == LauncherKind::Service) fatalExit(l, 1);
    if (l.kind == LauncherKind::Setup) l.log.error("Could not start JVM");
    fatalPropertyWithArgument(l, prop::errorVmStart);
}

int launch(Run& r) {
    if (!r.l.languageRestart) setNativeLibraryPath(r.l);
    if (!LoadDLL(r.l, true, std::string(kJavaExe), true)) {
        std::fputs("jvm_driver: the runtime could not be loaded\n", stderr);
        return 3;
    }
    std::promise<void> firstAsked;
    std::thread poller;
    if (r.pollController) {
        poller = std::thread(pollController, std::ref(r.l), std::ref(firstAsked), r.stayAttached, r.followSplash);
        firstAsked.get_future().wait();
    }
    bool launched = false;
    try {
        launched = launchProgram(r.l, r.args, true);
    } catch (...) {
        if (poller.joinable()) poller.detach();  // the process ends right after
        throw;
    }
    appendRecord(std::string("native: launchProgram returned ") + (launched ? "true" : "false"));
    launchReturned = true;
    if (poller.joinable()) poller.join();
    if (!launched) endAfterFailedLaunch(r.l);
    return 0;
}

}  // namespace
}  // namespace zendra::jvmtest

int main(int argc, char** argv) {
    using namespace zendra::jvmtest;
    const CaseSetup* setup = argc == 2 ? findCase(argv[1]) : nullptr;
    if (setup == nullptr) {
        std::fprintf(stderr, "usage: jvm_driver <case>, one of:\n%s", caseNames().c_str());
        return 2;
    }
    Run run(setup->kind);
    int code = 0;
    try {
        setup->configure(run);
        code = launch(run);
    } catch (const zendra::test::FakeExit& e) {
        code = e.code;  // the launcher ended the process: no exit handlers, the VM stays as it is
        copyLog(run);
        std::fflush(nullptr);
        _exit(code);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "jvm_driver: %s\n", e.what());
        return 4;
    }
    copyLog(run);
    return code;
}
