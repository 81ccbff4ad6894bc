#include "service_runtime.h"

#include <gtest/gtest.h>

#include <functional>

#include "fake_jvm_support.h"
#include "fake_service.h"

namespace zendra::service {
namespace {

using test::FakeExit;
using test::FakeServiceControl;

// The service role over the fake dispatcher: the service main function runs on the test's
// thread, and the worker's end is scripted.
struct Bench {
    Bench() {
        test::enableLog(sys);
        sys.env.vars["TMP"] = "c:\\tmp";
        sys.fs.addDirectory("c:\\tmp");
        control.startArguments = {u"My Svc"};
    }
    // Runs the role; the exit code, whether it came through the normal process exit.
    std::pair<int, bool> run() {
        try {
            return {runServiceRole(l, control, {u"c:\\Program Files\\svc.exe"}), false};
        } catch (const FakeExit& e) {
            return {e.code, true};
        }
    }
    bool logged(const std::vector<std::string>& lines) { return test::logHasInOrder(sys, l, lines); }

    test::FakeSystem sys;
    Launcher l{sys.platform, LauncherKind::Service};
    FakeServiceControl control;
};

TEST(ServiceRole, WorkerGetsItsCommandLineAndPriorityAndEndsOnTheShutdownLine) {
    Bench b;
    b.control.startArguments = {u"My Svc", u"-x", u"a b"};
    b.sys.registry.setValue(Hive::LocalMachine, kPriorityKey, "My Svc", RegType::Dword, {0x00, 0x40, 0, 0});
    b.control.worker.whileRunning = [&] { b.control.sendControl(kControlStop); };
    EXPECT_EQ(b.run(), std::make_pair(0, true));
    EXPECT_EQ(b.control.workerCommandLine, u"\"c:\\Program Files\\svc.exe\" \"My Svc\" -x \"a b\" __qln_restart");
    EXPECT_EQ(b.control.workerPriority, 0x4000u);
    EXPECT_EQ(b.control.workerInput, "0\n");
    EXPECT_TRUE(b.control.workerInputClosed);
    const ServiceStatus first = b.control.reports.front();
    EXPECT_EQ(std::vector<std::uint32_t>({first.serviceType, first.currentState, first.controlsAccepted, first.waitHint}),
              std::vector<std::uint32_t>({0x30, kServiceRunning, 5, 50000}));
    EXPECT_EQ(b.control.reports.back().currentState, kServiceStopped);
    EXPECT_TRUE(b.logged({"service name is 'My Svc'", "using priority 16384", "consuming output",
                          "control handler request 1", "sending shutdown 0", "shutdown sent",
                          "process terminated with exit code 0", "service stopped set", "exiting"}));
}

TEST(ServiceRole, HowTheWorkerEndsDecidesTheLastReport) {
    struct Case {
        const char* name;
        std::function<void(Bench&)> given;
        std::uint32_t lastState;    // 0: nothing reported
        std::uint32_t lastWin32;    // the last report's exit codes
        std::uint32_t lastSpecific;
        bool exited;                // ended through the normal process exit
        const char* logLine;
    };
    const Case cases[] = {
        {"ends with 0 by itself", {}, kServiceStopped, 0, 0, true, "service stopped set"},
        {"ends with 2 by itself", [](Bench& b) { b.control.worker.exitCode = 2; }, kServiceRunning, 0, 0, true,
         "process terminated with exit code 2"},
        {"ends with 1 after a shutdown",
         [](Bench& b) {
             b.control.worker.exitCode = 1;
             b.control.worker.whileRunning = [&b] {
                 b.control.sendControl(kControlShutdown);
                 b.control.sendControl(kControlShutdown);
             };
         },
         kServiceStopped, 0, 0, true, "service stopped set"},
        {"input pipe fails", [](Bench& b) { b.control.worker.pipeFailure = PipeStep::InputPipe; }, kServiceStopped,
         kErrorServiceSpecific, 5000, false, "CreatePipe error 2 (8)"},
        {"worker cannot start", [](Bench& b) { b.control.worker.startError = 2; }, kServiceStopped,
         kErrorServiceSpecific, 5000, false,
         "could not start process \"c:\\Program Files\\svc.exe\" \"My Svc\" __qln_restart (2)"},
        {"handler not registered", [](Bench& b) { b.control.registrationFails = true; }, 0, 0, 0, false,
         "service name is 'My Svc'"},
        {"not started by the manager", [](Bench& b) { b.control.startedByManager = false; }, 0, 0, 0, false,
         "StartServiceCtrlDispatcher failed with error 1063"},
    };
    for (const Case& c : cases) {
        Bench b;
        if (c.given) c.given(b);
        EXPECT_EQ(b.run(), std::make_pair(0, c.exited)) << c.name;
        EXPECT_TRUE(b.logged({c.logLine})) << c.name;
        if (c.lastState == 0) {
            EXPECT_TRUE(b.control.reports.empty()) << c.name;
            continue;
        }
        ASSERT_FALSE(b.control.reports.empty()) << c.name;
        const ServiceStatus& last = b.control.reports.back();
        EXPECT_EQ(last.currentState, c.lastState) << c.name;
        EXPECT_EQ(last.win32ExitCode, c.lastWin32) << c.name;
        EXPECT_EQ(last.serviceSpecificExitCode, c.lastSpecific) << c.name;
    }
}

TEST(ServiceRole, ShutdownRaisesTheCheckPointAndSendsTheLineOnce) {
    Bench b;
    b.control.worker.whileRunning = [&b] {
        b.control.sendControl(kControlShutdown);
        b.control.sendControl(kControlStop);
        b.control.sendControl(kControlShutdown);
    };
    b.run();
    EXPECT_EQ(b.control.workerInput, "0\n");
    EXPECT_EQ(b.control.reports.back().checkPoint, 2u);
}

}  // namespace
}  // namespace zendra::service
