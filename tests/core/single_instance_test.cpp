#include "single_instance.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

#include "fake_platform.h"
#include "property_ids.h"

namespace zendra {
namespace {

using test::FakeExit;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr const char* kPids = "SOFTWARE\\orvane-labs\\zendra\\pids\\";

// Two launcher processes of one executable on one fake machine: first (id 100) and second (id 200).
class SingleInstanceTest : public ::testing::Test {
protected:
    SingleInstanceTest() {
        sys.sync.files = &sys.fs;
        sys.env.vars = {{"TMP", "c:\\tmp"}, {"ZENDRA_LOG", "yes"}};
        sys.fs.addDirectory("c:\\tmp");
        sys.process.moduleW = u"C:\\Program Files\\My App\\App.exe";
        sys.process.moduleA = "C:\\Program Files\\My App\\App.exe";
        sys.fs.addFile("C:\\Program Files\\My App\\App.exe", "");
        configure(first);
        configure(second);
        first.processId = 100;
        second.processId = 200;
        second.commandLine = u"\"C:\\Program Files\\My App\\App.exe\"   one \"two words\"";
    }
    // Single-instance mode, errors to standard error.
    static void configure(Launcher& l, const char* mode = "1") {
        l.errorDisplayMode = false;
        l.store.setProperty(prop::singleInstance, mode);
        l.store.setProperty(prop::errorInternal, "Internal error {0}");
    }
    // Runs the check; the exit code, or -1 when the process may go on.
    static int run(Launcher& l, bool modeFromProperty = true, bool handOver = true) {
        try {
            checkSingleInstance(l, modeFromProperty, handOver, {});
        } catch (const FakeExit& e) {
            return e.code;
        }
        return -1;
    }
    std::string logOf(Launcher& l) { return sys.fs.content(l.log.getLogFilePath().value_or("")); }
    // How often the semaphore of this name was created or opened.
    long opened(const std::string& name) { return std::count(sys.sync.created.begin(), sys.sync.created.end(), name); }
    std::u16string fileText(const std::string& path) {
        const std::string bytes = sys.fs.content(path);
        std::u16string text;
        for (std::size_t i = 0; i + 1 < bytes.size(); i += 2)
            text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                                 static_cast<unsigned char>(bytes[i + 1]) << 8));
        return text;
    }

    test::FakeSystem sys;
    Launcher first{sys.platform, LauncherKind::App};
    Launcher second{sys.platform, LauncherKind::App};
    const std::string base = "Local\\c:_program_files_my_app_app.exe";
    const std::string notification = base + "_notification";
    const std::string handOverFile = "c:\\temp\\znd_p100.tmp";
};

TEST_F(SingleInstanceTest, FirstInstanceHoldsTheScopedSemaphoreAndRegistersItsId) {
    ASSERT_EQ(run(first), -1);
    EXPECT_EQ(first.instanceSemaphoreName, base);
    EXPECT_TRUE(sys.sync.semaphores->exists(base));
    const auto pid = sys.registry.queryValue(Hive::CurrentUser, kPids, "c:\\program files\\my app\\app.exe");
    ASSERT_TRUE(pid.has_value());
    EXPECT_EQ(pid->type, 4u);
    EXPECT_EQ(pid->data, (std::vector<std::uint8_t>{100, 0, 0, 0}));
    EXPECT_THAT(logOf(first), HasSubstr("single instance mode\nsemaphore name " + base + ", code 0, value "));

    test::FakeSystem other;
    Launcher global{other.platform, LauncherKind::App};
    global.store.setProperty(prop::globalInstanceScope, "1");
    global.store.setProperty(prop::singleInstance, "1");
    other.process.moduleW = u"c:\\app\\launcher.exe";
    run(global);
    EXPECT_EQ(global.instanceSemaphoreName, "Global\\c:_app_launcher.exe");
}

TEST_F(SingleInstanceTest, MultiInstanceModeTakesTheFirstFreeNumber) {
    first.store.setProperty(prop::singleInstance, "0");
    second.store.setProperty(prop::singleInstance, "0");
    ASSERT_EQ(run(first), -1);
    ASSERT_EQ(run(second), -1);
    EXPECT_EQ(first.instanceSemaphoreName, base + "0");
    EXPECT_EQ(second.instanceSemaphoreName, base + "1");
    EXPECT_THAT(logOf(second), HasSubstr("semaphore name " + base + "1, code 0, value "));
    EXPECT_EQ(sys.sync.semaphores->entries.at(base + "0").handles, 1);  // the probe of number 0 was closed
    first.instanceSemaphore.reset();
    Launcher third{sys.platform, LauncherKind::App};
    run(third);
    EXPECT_EQ(third.instanceSemaphoreName, base + "0");
    // Without the property mode (the installer) a single instance is forced.
    Launcher setup{sys.platform, LauncherKind::Setup};
    Launcher setupAgain{sys.platform, LauncherKind::Setup};
    configure(setup, "0");
    configure(setupAgain, "0");
    EXPECT_EQ(run(setup, false, false), -1);
    EXPECT_EQ(setup.instanceSemaphoreName, base);
    EXPECT_EQ(run(setupAgain, false, false), 0);
}

TEST_F(SingleInstanceTest, SecondInstanceHandsItsArgumentsOverAndEndsWhenTheyAreTaken) {
    sys.desktop.addWindow("main", 100).minimised = true;
    ASSERT_EQ(run(first), -1);
    std::u16string taken;
    sys.sync.takeFileAfterSleeps(handOverFile, 12, &taken);
    EXPECT_EQ(run(second), 0);
    EXPECT_EQ(taken, u"one \"two words\"\n");
    EXPECT_FALSE(sys.fs.exists(handOverFile));
    EXPECT_EQ(sys.sync.elapsedMs, 12u * 50);
    // Liveness: once before the older-file wait, then on polls 1, 6 and 11 of the deletion wait.
    EXPECT_EQ(opened(base), 2 + 1 + 3);
    EXPECT_THAT(sys.sync.releases, ElementsAre(notification));
    EXPECT_THAT(logOf(second), HasSubstr("other pid 100\nfound window "));
    EXPECT_THAT(logOf(second), HasSubstr("\nrestore\n"));
    EXPECT_THAT(logOf(second), HasSubstr("notification via " + handOverFile +
                                         "\nwaiting for notification semaphore\nwait returned 0\n"));
    EXPECT_THAT(logOf(second), HasSubstr("\nwaiting for file deletion\n"));
    EXPECT_THAT(logOf(second), HasSubstr("\nexiting\n"));
    EXPECT_TRUE(sys.sync.semaphores->exists(base));  // the running instance still holds it
}

TEST_F(SingleInstanceTest, AnOlderFileDelaysTheHandOverAndAnUntakenFileStays) {
    run(first);
    sys.fs.addFile(handOverFile, "old");
    sys.sync.afterSleeps(3, [&] { sys.fs.deleteFile(handOverFile); });
    second.commandLine = u"\"C:\\Program Files\\My App\\App.exe\"";
    EXPECT_EQ(run(second), 0);
    EXPECT_EQ(sys.sync.sleeps, 3 + 200);
    EXPECT_EQ(fileText(handOverFile), u"\n");
    // A third start finds the untaken file for 10 s more and then cannot create its own.
    Launcher third{sys.platform, LauncherKind::App};
    configure(third);
    EXPECT_EQ(run(third), 1);
    EXPECT_EQ(sys.sync.sleeps, 3 + 200 + 200);
    EXPECT_THAT(logOf(third), HasSubstr("CreateFile failed 80\n"));
    EXPECT_EQ(sys.ui.stderrText.rfind("Internal error 21", 0), 0u);
}

TEST_F(SingleInstanceTest, AnEndedRunningInstanceGetsNoFile) {
    run(first);
    sys.fs.addFile(handOverFile, "old");
    sys.sync.afterSleeps(4, [&] { first.instanceSemaphore.reset(); });
    EXPECT_EQ(run(second), 0);
    EXPECT_EQ(sys.sync.sleeps, 6);  // the check after the sixth poll sees it gone
    EXPECT_EQ(sys.fs.content(handOverFile), "old");
    EXPECT_TRUE(sys.sync.newFiles.empty());
    EXPECT_THAT(logOf(second), HasSubstr("main process already released semaphore.\n"));
    EXPECT_FALSE(sys.sync.semaphores->exists(base));  // the liveness probe closed what it created

    // Ended while its file was pending: the new instance removes its own file.
    ASSERT_EQ(run(first), -1);
    sys.fs.deleteFile(handOverFile);
    Launcher third{sys.platform, LauncherKind::App};
    configure(third);
    sys.sync.afterSleeps(sys.sync.sleeps + 2, [&] { first.instanceSemaphore.reset(); });
    EXPECT_EQ(run(third), 0);
    EXPECT_THAT(sys.sync.newFiles, ElementsAre(handOverFile));
    EXPECT_FALSE(sys.fs.exists(handOverFile));
}

TEST_F(SingleInstanceTest, WithoutHandOverOrRegisteredIdOnlyWindowsAreConsidered) {
    sys.desktop.addWindow("main", 100);
    run(first);
    EXPECT_EQ(run(second, false, false), 0);
    EXPECT_THAT(logOf(second), HasSubstr("other pid 100\nfound window "));
    EXPECT_EQ(opened(notification), 0);
    EXPECT_TRUE(sys.sync.newFiles.empty());

    sys.registry.setValue(Hive::CurrentUser, kPids, "c:\\program files\\my app\\app.exe", RegType::Binary, {1, 2});
    Launcher third{sys.platform, LauncherKind::App};
    configure(third);
    third.commandLine = u"app.exe x";
    sys.sync.takeFileAfterSleeps("c:\\temp\\znd_p0.tmp", 1);
    EXPECT_EQ(run(third), 0);
    EXPECT_THAT(logOf(third), HasSubstr("other pid 0\n"));
    EXPECT_THAT(logOf(third), HasSubstr("notification via c:\\temp\\znd_p0.tmp\n"));
    EXPECT_THAT(sys.sync.newFiles, ElementsAre("c:\\temp\\znd_p0.tmp"));
}

TEST_F(SingleInstanceTest, FileFailuresEndWithTheirDetailAndLetTheNextInstanceGoOn) {
    run(first);
    auto waiting = sys.sync.holdSemaphore(notification);  // a third start, queued behind the second
    sys.sync.writesFail = true;
    EXPECT_EQ(run(second), 1);
    EXPECT_THAT(logOf(second), HasSubstr("ERROR: WriteFile failed 112\n"));
    EXPECT_EQ(sys.ui.stderrText.rfind("Internal error 22", 0), 0u);
    EXPECT_FALSE(sys.fs.exists(handOverFile));
    EXPECT_EQ(sys.sync.semaphores->count(notification), 1);

    sys.sync.createNewError = 5;
    Launcher third{sys.platform, LauncherKind::App};
    configure(third);
    EXPECT_EQ(run(third), 1);
    EXPECT_THAT(logOf(third), HasSubstr("CreateFile failed 5\n"));
    EXPECT_EQ(sys.sync.semaphores->count(notification), 1);
}

TEST_F(SingleInstanceTest, WithoutANotificationSemaphoreTheHandOverGoesOnUnserialised) {
    run(first);
    sys.sync.failingSemaphores.insert(notification);
    sys.sync.takeFileAfterSleeps(handOverFile, 1);
    EXPECT_EQ(run(second), 0);
    EXPECT_THAT(logOf(second), HasSubstr("semaphore creation failed 5\nwaiting for notification semaphore\n"
                                         "wait returned -1\n"));
    EXPECT_THAT(logOf(second), HasSubstr("release semaphore failed 6\nexiting\n"));
    EXPECT_THAT(sys.sync.newFiles, ElementsAre(handOverFile));
}

TEST_F(SingleInstanceTest, LivenessIsTheSemaphoresExistence) {
    EXPECT_TRUE(isMainInstanceAlive(second));  // no name yet: nothing to probe
    second.instanceSemaphoreName = base;
    EXPECT_FALSE(isMainInstanceAlive(second));
    EXPECT_FALSE(sys.sync.semaphores->exists(base));
    EXPECT_THAT(logOf(second), HasSubstr("main process already released semaphore.\n"));
    auto holder = sys.sync.holdSemaphore(base);
    EXPECT_TRUE(isMainInstanceAlive(second));
    EXPECT_EQ(sys.sync.semaphores->entries.at(base).handles, 1);
    sys.sync.failingSemaphores.insert(base);
    holder.reset();
    EXPECT_TRUE(isMainInstanceAlive(second));
}

TEST(HandOverArgumentText, FollowsTheProgramNameWithQuotingKept) {
    EXPECT_EQ(handOverArgumentText(u"\"C:\\Program Files\\a.exe\""), u"");
    EXPECT_EQ(handOverArgumentText(u"\"C:\\Program Files\\a.exe\"   x \"y z\" "), u"x \"y z\" ");
    EXPECT_EQ(handOverArgumentText(u"a.exe  -q"), u"-q");
    EXPECT_EQ(handOverArgumentText(u"a.exe   "), u"");
    EXPECT_EQ(handOverArgumentText(u"a.exe"), u"");
    EXPECT_EQ(handOverArgumentText(u"\"C:\\a.exe x y"), u"");
    EXPECT_EQ(handOverArgumentText(u"\"C:\\a.exe\"x y"), u"y");
    EXPECT_EQ(handOverArgumentText(u""), u"");
}

TEST_F(SingleInstanceTest, LongArgumentTextIsCutToTheFileLimit) {
    run(first);
    second.commandLine = u"a.exe " + std::u16string(20000, u'x');
    std::u16string taken;
    sys.sync.takeFileAfterSleeps(handOverFile, 1, &taken);
    EXPECT_EQ(run(second), 0);
    EXPECT_EQ(taken, std::u16string(16382, u'x') + u"\n");
}

}  // namespace
}  // namespace zendra
