#include "service_commands.h"

#include <gtest/gtest.h>

#include <functional>

#include "fake_platform.h"
#include "fake_service.h"
#include "property_ids.h"

namespace zendra::service {
namespace {

using test::FakeService;
using test::FakeServiceControl;

TEST(ServiceCommandGrammar, PrefixWordInteractiveFlagAndName) {
    struct Case {
        const char* tail;
        std::optional<CommandWord> word;
        bool interactive;
        std::optional<std::string> name;
    };
    const Case cases[] = {
        {"/install", CommandWord::Install, true, std::nullopt},
        {"-install", CommandWord::Install, true, std::nullopt},
        {"--install-auto", CommandWord::InstallAuto, true, std::nullopt},
        {"/Install", std::nullopt, true, std::nullopt},
        {"install", std::nullopt, true, std::nullopt},
        {"---stop", std::nullopt, true, std::nullopt},
        {"/status ", CommandWord::Status, true, std::nullopt},
        {"/install non-interactive My Service", CommandWord::Install, false, "My Service"},
        {"/install My Service non-interactive", CommandWord::Install, true, "My Service non-interactive"},
        {"/uninstall non-interactive", CommandWord::Uninstall, false, std::nullopt},
        {"-stop  two blanks", CommandWord::Stop, true, " two blanks"},
        {"/start \"My Svc\"", CommandWord::Start, true, "My Svc"},
        {"/start \"a\" \"b\"", CommandWord::Start, true, "\"a\" \"b\""},
    };
    for (const Case& c : cases) {
        const std::optional<Command> command = parseCommand(c.tail);
        ASSERT_EQ(command.has_value(), c.word.has_value()) << c.tail;
        if (!command) continue;
        EXPECT_EQ(command->word, *c.word) << c.tail;
        EXPECT_EQ(command->interactive, c.interactive) << c.tail;
        EXPECT_EQ(command->name, c.name) << c.tail;
    }
}

TEST(ServiceCommandGrammar, DependenciesSkipEmptyPiecesAndBlankPathsAreQuoted) {
    EXPECT_EQ(splitDependencies("Tcpip,,Dnscache,"), (std::vector<std::string>{"Tcpip", "Dnscache"}));
    EXPECT_TRUE(splitDependencies("").empty());
    EXPECT_EQ(registeredBinaryPath("c:\\Program Files\\svc.exe"), "\"c:\\Program Files\\svc.exe\"");
    EXPECT_EQ(registeredBinaryPath("c:\\apps\\svc.exe"), "c:\\apps\\svc.exe");
}

// The command words over the fake manager: the lines they print and their exit codes.
struct Bench {
    Bench() {
        l.executablePathCache = "c:\\Program Files\\My App\\svc.exe";
        l.store.setProperty(prop::applicationName, "My App");
    }
    FakeService& installed(std::uint32_t state, std::uint32_t startType = kServiceDemandStart) {
        FakeService& s = control.services["My App"];
        s.definition.name = "My App";
        s.definition.startType = startType;
        s.status.currentState = state;
        return s;
    }
    int run(const char* tail) {
        const std::optional<Command> command = parseCommand(tail);
        EXPECT_TRUE(command) << tail;
        return command ? runCommand(l, control, *command) : -1;
    }

    test::FakeSystem sys;
    Launcher l{sys.platform, LauncherKind::Service};
    FakeServiceControl control;
};

TEST(ServiceCommands, EachWordPrintsItsLineAndEndsWithItsCode) {
    struct Case {
        const char* name;
        std::function<void(Bench&)> given;
        const char* tail;
        const char* printed;
        int code;
    };
    const auto running = [](Bench& t) { t.installed(kServiceRunning, kServiceAutoStart); };
    const auto stopped = [](Bench& t) { t.installed(kServiceStopped); };
    const Case cases[] = {
        {"install", {}, "/install", "Installed service 'My App'.\n", 0},
        {"install over a running one", running, "/install",
         "Stopping service 'My App'.\nService stopped\nInstalled service 'My App'.\n", 0},
        {"install without rights", [](Bench& t) { t.control.administrator = false; }, "/install",
         "Could not open SCManager.\n", 1},
        {"install refused", [](Bench& t) { t.control.createError = 1072; }, "/install-demand",
         "Could not create service.\n", 1},
        {"install-and-start whose install fails", [](Bench& t) { t.control.createError = 1072; },
         "/install-and-start", "Could not create service.\nCould not start service. Error code: 1060\n", 1},
        {"install-and-start", {}, "/install-and-start", "Installed service 'My App'.\nStarting service 'My App'.\n", 0},
        {"uninstall", stopped, "/uninstall", "Service is already stopped.\nUninstalled service 'My App'.\n", 0},
        {"uninstall of an unknown name", {}, "/uninstall", "Could not delete service.\n", 1},
        {"start", stopped, "/start", "Starting service 'My App'.\n", 0},
        {"start of a running one", running, "/start", "Service is already running.\n", 0},
        {"stop of a stopped one", stopped, "/stop", "Service is already stopped.\n", 0},
        {"stop of an unknown name", {}, "/stop", "Could not stop service.\n", 1},
        {"stop that outlasts the wait hint",
         [](Bench& t) { t.installed(kServiceRunning).queriesUntilStopped = 8; }, "/stop",
         "Stopping service 'My App'.\nError while stopping service\n", 0},
        {"stop whose check point moves on",
         [](Bench& t) {
             FakeService& s = t.installed(kServiceRunning);
             s.queriesUntilStopped = 8;
             s.checkPointMoves = true;
         },
         "/stop", "Stopping service 'My App'.\nService stopped\n", 0},
        {"status running, automatic", running, "/status", "Running.\nAuto-start.\n", 0},
        {"status stopped, on demand", stopped, "/status", "Not running.\n", 3},
        {"status of an unknown name", {}, "/status", "Could not get status.\n", 1},
        {"status without configuration",
         [](Bench& t) { t.installed(kServiceRunning).configError = 122; }, "/status",
         "Running.\nCould not get config (122, 9000).\n", 1},
        {"manager unreachable", [](Bench& t) { t.control.managerUnavailable = true; }, "/status",
         "Could not open SCManager.\n", 1},
    };
    for (const Case& c : cases) {
        Bench t;
        if (c.given) c.given(t);
        EXPECT_EQ(t.run(c.tail), c.code) << c.name;
        EXPECT_EQ(t.sys.ui.stdoutText, c.printed) << c.name;
    }
}

TEST(ServiceCommands, InstallRegistersQuotedPathDependenciesAndDescription) {
    Bench t;
    Launcher& l = t.l;
    l.store.setProperty(prop::launcherType, "4");
    l.store.setProperty(prop::serviceDependencies, "Tcpip,,Dnscache");
    l.store.setMessage(prop::msgServiceDescription, u"Runs the app");
    ASSERT_EQ(t.run("/install"), 0);
    const FakeService& s = t.control.services.at("My App");
    EXPECT_EQ(s.definition.binaryPath, "\"c:\\Program Files\\My App\\svc.exe\"");
    EXPECT_EQ(s.definition.startType, kServiceAutoStart);
    EXPECT_EQ(s.definition.serviceType, kServiceOwnProcess | kServiceInteractiveProcess);
    EXPECT_EQ(s.definition.dependencies, (std::vector<std::string>{"Tcpip", "Dnscache"}));
    EXPECT_EQ(s.description, u"Runs the app");

    ASSERT_EQ(t.run("/install-demand non-interactive Other Svc"), 0);
    const FakeService& other = t.control.services.at("Other Svc");
    EXPECT_EQ(other.definition.startType, kServiceDemandStart);
    EXPECT_EQ(other.definition.serviceType, kServiceOwnProcess);
}

}  // namespace
}  // namespace zendra::service
