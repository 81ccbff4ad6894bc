#include "splash.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

#include "errors.h"
#include "fake_jni.h"
#include "fake_jvm_support.h"
#include "property_ids.h"
#include "splash_layout.h"

namespace zendra {
namespace {

using test::FakeJvm;
using test::logHasInOrder;
using test::logLines;
using Calls = std::vector<std::string>;

constexpr const char* kController = "com/zendra/runtime/ZendraController";
constexpr std::uint32_t kOtherProcess = 9999;

// Whether calls holds want (in order, not necessarily adjacent).
bool hasInOrder(const Calls& calls, const Calls& want) {
    auto at = calls.begin();
    for (const auto& w : want) {
        at = std::find(at, calls.end(), w);
        if (at == calls.end()) return false;
        ++at;
    }
    return true;
}

bool has(const Calls& calls, const std::string& call) {
    return std::find(calls.begin(), calls.end(), call) != calls.end();
}

TEST(SplashLayoutTest, WindowLayoutComesFromThePropertiesAndIsCentred) {
    PropertyStore store;
    store.setProperty(prop::applicationName, "My App");
    store.setProperty(prop::splashWidth, "400");
    store.setProperty(prop::splashHeight, "300");
    store.setProperty(prop::statusText, "Starting");
    store.setProperty(prop::statusX, "12");
    store.setProperty(prop::statusY, "270");
    store.setProperty(prop::statusFont, "Arial");
    store.setProperty(prop::statusFontSize, "9");
    store.setProperty(prop::statusFontWeight, "700");
    store.setProperty(prop::statusColor, "255,0,0");
    store.setProperty(prop::versionText, "Version 2.1");
    store.setProperty(prop::versionX, "300");
    store.setProperty(prop::versionY, "10");
    store.setProperty(prop::versionFont, std::string(40, 'F'));
    store.setProperty(prop::versionFontSize, "12");
    store.setProperty(prop::versionColor, "300,1,2");
    const SplashWindowLayout layout = splashWindowLayout(store, {0, 0, 1920, 1080});
    EXPECT_EQ(layout.title, "My App");
    EXPECT_EQ(layout.bitmapId, 10000);
    EXPECT_EQ(std::make_pair(layout.x, layout.y), std::make_pair(760, 390));
    EXPECT_EQ(std::make_pair(layout.width, layout.height), std::make_pair(400, 300));
    EXPECT_EQ(layout.status.text, "Starting");
    EXPECT_EQ(std::make_pair(layout.status.x, layout.status.y), std::make_pair(12, 270));
    EXPECT_EQ(layout.status.fontFace, "Arial");
    EXPECT_EQ(layout.status.fontPoints, 9);
    EXPECT_EQ(layout.status.fontWeight, 700);
    EXPECT_EQ(layout.status.colour, 0x0000FFu);  // pure red
    EXPECT_EQ(layout.version.text, "Version 2.1");
    EXPECT_EQ(std::make_pair(layout.version.x, layout.version.y), std::make_pair(300, 10));
    EXPECT_EQ(layout.version.fontFace, std::string(31, 'F'));
    EXPECT_EQ(layout.version.fontWeight, 0);       // missing: 0, the system's default weight
    EXPECT_EQ(layout.version.colour, 0x02012Cu);   // 300 keeps its low 8 bits: red 44
}

TEST(SplashLayoutTest, MissingPropertiesGiveAnEmptyWindowAndLongTextsAreCut) {
    PropertyStore store;
    store.setProperty(prop::statusText, std::string(9000, 's'));
    store.setProperty(prop::statusColor, "7");
    const SplashWindowLayout layout = splashWindowLayout(store, {0, 0, 1024, 768});
    EXPECT_EQ(std::make_pair(layout.x, layout.y), std::make_pair(512, 384));
    EXPECT_EQ(std::make_pair(layout.width, layout.height), std::make_pair(0, 0));
    EXPECT_EQ(layout.status.text.size(), 8191u);
    EXPECT_EQ(layout.status.colour, 7u);  // missing numbers count as 0
    EXPECT_EQ(layout.version.text, "");
    EXPECT_EQ(layout.version.fontFace, "");
}

TEST(SplashLayoutTest, CentringFollowsTheDesktopRectangle) {
    EXPECT_EQ(centredOrigin({0, 0, 1024, 768}, 400, 300), std::make_pair(312, 234));
    EXPECT_EQ(centredOrigin({0, 0, 1024, 768}, 401, 301), std::make_pair(311, 233));  // integer division
    EXPECT_EQ(centredOrigin({0, 0, 300, 200}, 400, 300), std::make_pair(-50, -50));   // larger than the desktop
}

TEST(SplashLayoutTest, FontHeightRoundsAsMulDiv) {
    EXPECT_EQ(splashFontHeight(12, 96), -16);
    EXPECT_EQ(splashFontHeight(11, 96), -15);   // 14.67
    EXPECT_EQ(splashFontHeight(10, 120), -17);  // 16.67
    EXPECT_EQ(splashFontHeight(9, 96), -12);
    EXPECT_EQ(splashFontHeight(0, 96), 0);
    EXPECT_EQ(mulDiv(3, 1, 2), 2);      // halves round away from zero
    EXPECT_EQ(mulDiv(-3, 1, 2), -2);
    EXPECT_EQ(mulDiv(5, 3, -2), -8);
    EXPECT_EQ(mulDiv(1, 1, 0), -1);
    EXPECT_EQ(mulDiv(65536, 65536, 1), -1);  // does not fit
    EXPECT_EQ(mulDiv(65536, 65536, 4), 1 << 30);
}

class SplashTest : public ::testing::Test {
protected:
    SplashTest() {
        test::enableLog(sys);
        sys.fs.addDirectory("c:\\temp");
        sys.splash.desktop = &sys.desktop;
        sys.splash.processId = sys.process.pid;
        l.store.setProperty(prop::splashWidth, "400");
        l.store.setProperty(prop::splashHeight, "300");
        l.store.setProperty(prop::statusText, "Loading");
        l.store.setProperty(prop::errorCaption, "Error");
    }
    // Makes the VM exist before the given tick, with or without the controller class.
    void vmBeforeTick(int tick, bool controller = true) {
        if (controller) {
            jvm.classes.insert(kController);
            jvm.methods = {std::string(kController) + ".getAction ()I",
                           std::string(kController) + ".getText ()Ljava/lang/String;"};
        }
        sys.splash.beforeTick = [this, tick](int n) {
            if (n != tick) return;
            l.vm = jvm.vm();
            l.env = jvm.env();
            l.jvmCreated = true;
        };
    }
    WindowRef splashWindow() { return sys.desktop.window("splash").handle; }
    Calls log() { return logLines(sys, l); }

    test::FakeSystem sys;
    Launcher l{sys.platform, LauncherKind::App};
    FakeJvm jvm;
};

TEST_F(SplashTest, ShowRunsTheWindowOnItsThreadAndRegistersItAsErrorOwner) {
    l.store.setProperty(prop::splashTopMost, "1");
    WindowRef ownerDuringLoop = nullptr;
    sys.splash.beforeTick = [&](int) { ownerDuringLoop = l.errorOwnerWindow; };
    sys.splash.maxTicks = 3;
    showSplash(l, 5);
    EXPECT_EQ(sys.splash.calls, (Calls{"thread", "create", "show 5", "topmost", "loop 100", "tick 1", "tick 2",
                                       "tick 3", "destroy"}));
    ASSERT_EQ(sys.splash.created.size(), 1u);
    EXPECT_EQ(std::make_pair(sys.splash.created[0].x, sys.splash.created[0].y), std::make_pair(760, 390));
    EXPECT_EQ(sys.splash.created[0].status.text, "Loading");
    EXPECT_EQ(ownerDuringLoop, splashWindow());
    EXPECT_EQ(l.errorOwnerWindow, nullptr);  // the window went with its thread
    EXPECT_TRUE(l.hideSplash);
    EXPECT_TRUE(logHasInOrder(sys, l, {"Starting splash screen thread", "Showing splash screen",
                                       "Initializing splash screen"}));
}

TEST_F(SplashTest, WindowIsCreatedOnceAndTopMostOnlyWhenConfigured) {
    sys.splash.maxTicks = 1;
    showSplash(l, 1);
    showSplash(l, 1);
    EXPECT_EQ(std::count(sys.splash.calls.begin(), sys.splash.calls.end(), "create"), 1);
    EXPECT_FALSE(has(sys.splash.calls, "topmost"));
    EXPECT_EQ(test::logCount(sys, l, "Showing splash screen"), 2);
    EXPECT_EQ(test::logCount(sys, l, "Initializing splash screen"), 1);
}

TEST_F(SplashTest, HideBeforeTheWindowExistsMeansNoWindowIsEverShown) {
    sys.splash.deferThreads = true;
    showSplash(l, 1);
    hideSplash(l);
    sys.splash.runThreads();
    EXPECT_EQ(sys.splash.calls, (Calls{"thread"}));
    EXPECT_TRUE(logHasInOrder(sys, l, {"Starting splash screen thread", "Hiding splash screen",
                                       "Showing splash screen"}));
}

// A hide while the window is being made: it is made but never shown, and its thread ends at
// the first tick.
TEST_F(SplashTest, HideDuringCreationKeepsTheWindowHidden) {
    sys.splash.onCreate = [&] { hideSplash(l); };
    showSplash(l, 1);
    EXPECT_EQ(sys.splash.calls, (Calls{"thread", "create", "loop 100", "tick 1", "destroy"}));
    EXPECT_EQ(l.errorOwnerWindow, nullptr);
}

TEST_F(SplashTest, HideHidesTheWindowAndBringsTheProcessForwardWhenItLostTheForeground) {
    sys.desktop.addWindow("app", sys.process.pid);
    sys.desktop.addWindow("other", kOtherProcess);
    sys.splash.foregroundProcess = kOtherProcess;
    sys.splash.beforeTick = [&](int n) {
        if (n == 2) hideSplash(l);
    };
    showSplash(l, 1);
    EXPECT_TRUE(hasInOrder(sys.splash.calls, {"show 1", "tick 1", "hide", "tick 2", "destroy"}));
    EXPECT_FALSE(has(sys.splash.calls, "tick 3"));  // the hidden window ends the thread
    EXPECT_TRUE(has(sys.desktop.calls, "foreground app"));
    EXPECT_FALSE(has(sys.desktop.calls, "foreground splash"));  // hidden by then
    EXPECT_FALSE(has(sys.desktop.calls, "foreground other"));
}

TEST_F(SplashTest, HideLeavesTheForegroundAloneWhenThisProcessHasIt) {
    sys.desktop.addWindow("app", sys.process.pid);
    sys.splash.foregroundProcess = sys.process.pid;
    sys.splash.beforeTick = [&](int n) {
        if (n == 1) hideSplash(l);
    };
    showSplash(l, 1);
    EXPECT_TRUE(has(sys.splash.calls, "hide"));
    EXPECT_FALSE(has(sys.desktop.calls, "foreground app"));
    hideSplash(l);  // after the thread ended: nothing left to hide
    EXPECT_EQ(std::count(sys.splash.calls.begin(), sys.splash.calls.end(), "hide"), 1);
}

TEST_F(SplashTest, ErrorReportHidesTheSplashFirstAndShowsAnUnownedBox) {
    WindowRef ownerBeforeError = nullptr;
    sys.splash.beforeTick = [&](int n) {
        if (n != 2) return;
        ownerBeforeError = l.errorOwnerWindow;
        showError(l, "It failed");
        sys.splash.calls.push_back("box");
    };
    showSplash(l, 1);
    EXPECT_EQ(ownerBeforeError, splashWindow());
    EXPECT_TRUE(hasInOrder(sys.splash.calls, {"tick 1", "hide", "box", "tick 2", "destroy"}));
    ASSERT_EQ(sys.ui.boxes.size(), 1u);
    // The hidden window goes with its thread at the next tick; a box it owned would go too.
    EXPECT_EQ(sys.ui.boxes[0].owner, nullptr);
}

TEST_F(SplashTest, AutoOffHidesOnceAnotherWindowOfTheProcessIsVisible) {
    l.store.setProperty(prop::splashAutoOff, "1");
    sys.desktop.addWindow("foreign", kOtherProcess);
    sys.desktop.addWindow("frame", sys.process.pid).visible = false;
    sys.splash.beforeTick = [&](int n) {
        if (n == 3) sys.desktop.window("frame").visible = true;
    };
    showSplash(l, 1);
    EXPECT_TRUE(hasInOrder(sys.splash.calls, {"tick 2", "tick 3", "hide", "destroy"}));
    EXPECT_FALSE(has(sys.splash.calls, "tick 4"));
    EXPECT_EQ(test::logCount(sys, l, "Splash screen auto off"), 1);
    EXPECT_TRUE(logHasInOrder(sys, l, {"Splash screen auto off", "Hiding splash screen"}));
}

TEST_F(SplashTest, WithoutAutoOffOtherWindowsLeaveTheSplashUp) {
    sys.desktop.addWindow("frame", sys.process.pid);
    sys.splash.maxTicks = 5;
    showSplash(l, 1);
    EXPECT_EQ(sys.splash.ticks, 5);
    EXPECT_FALSE(has(sys.splash.calls, "hide"));
}

TEST_F(SplashTest, ControllerIsAskedOnceTheVmExistsAndItsHideEndsTheThread) {
    jvm.action = 1;
    vmBeforeTick(3);
    showSplash(l, 1);
    EXPECT_TRUE(hasInOrder(sys.splash.calls, {"tick 3", "hide", "destroy"}));
    EXPECT_FALSE(has(sys.splash.calls, "tick 4"));
    EXPECT_EQ(jvm.calls, (Calls{"AttachCurrentThreadAsDaemon", std::string("FindClass ") + kController,
                                std::string("GetStaticMethodID ") + kController + ".getAction ()I",
                                std::string("GetStaticMethodID ") + kController + ".getText ()Ljava/lang/String;",
                                std::string("CallStaticIntMethod ") + kController + ".getAction ()I",
                                "ExceptionCheck", "DetachCurrentThread"}));
}

TEST_F(SplashTest, ControllerTextReplacesTheStatusLineAndOtherAnswersChangeNothing) {
    jvm.action = 2;
    jvm.text = u"Ready \u00e9\u4e2d";
    vmBeforeTick(1);
    sys.splash.maxTicks = 2;
    showSplash(l, 1);
    EXPECT_EQ(std::count(sys.splash.calls.begin(), sys.splash.calls.end(), "status Ready \xe9?"), 2);
    EXPECT_EQ(sys.splash.created[0].status.text, "Ready \xe9?");
    EXPECT_EQ(jvm.count("AttachCurrentThreadAsDaemon"), 1);
    EXPECT_EQ(jvm.count("DetachCurrentThread"), 1);  // the thread ended after its last tick

    for (jint action : {0, 3, -1}) {
        test::FakeSystem other;
        Launcher quiet{other.platform, LauncherKind::App};
        FakeJvm answers;
        answers.classes.insert(kController);
        answers.methods = jvm.methods;
        answers.action = action;
        answers.text = u"never shown";
        quiet.vm = answers.vm();
        quiet.env = answers.env();
        quiet.jvmCreated = true;
        other.splash.maxTicks = 3;
        showSplash(quiet, 1);
        EXPECT_EQ(other.splash.ticks, 3) << action;
        EXPECT_FALSE(has(other.splash.calls, "hide")) << action;
        const std::string getText = std::string("CallStaticObjectMethod ") + kController + ".getText ()Ljava/lang/String;";
        EXPECT_EQ(answers.count(getText), 0) << action;
    }
}

TEST_F(SplashTest, NullTextLeavesTheStatusLineAlone) {
    jvm.action = 2;
    vmBeforeTick(1);
    sys.splash.maxTicks = 2;
    showSplash(l, 1);
    EXPECT_EQ(jvm.count(std::string("CallStaticObjectMethod ") + kController + ".getText ()Ljava/lang/String;"), 2);
    EXPECT_FALSE(std::any_of(sys.splash.calls.begin(), sys.splash.calls.end(),
                             [](const std::string& c) { return c.rfind("status", 0) == 0; }));
}

TEST_F(SplashTest, WithoutControllerTheLookupIsMadeOnceAndTheSplashStaysUp) {
    vmBeforeTick(2, false);
    sys.splash.maxTicks = 6;
    showSplash(l, 1);
    EXPECT_EQ(sys.splash.ticks, 6);
    EXPECT_EQ(jvm.count(std::string("FindClass ") + kController), 1);
    EXPECT_EQ(jvm.count("AttachCurrentThreadAsDaemon"), 1);
    EXPECT_EQ(jvm.count("DetachCurrentThread"), 1);
}

TEST_F(SplashTest, PollingBeforeTheVmExistsNeitherAttachesNorDetaches) {
    sys.splash.maxTicks = 4;
    showSplash(l, 1);
    EXPECT_EQ(sys.splash.ticks, 4);
    EXPECT_TRUE(jvm.calls.empty());
}

TEST_F(SplashTest, StatusTextNeedsAStartedSplashAndIsCut) {
    setSplashStatusText(l, u"too early");
    EXPECT_TRUE(sys.splash.calls.empty());
    sys.splash.beforeTick = [&](int n) {
        if (n == 1) setSplashStatusText(l, std::u16string(9000, u'x'));
    };
    sys.splash.maxTicks = 1;
    showSplash(l, 1);
    ASSERT_EQ(sys.splash.created[0].status.text.size(), 8191u);
    setSplashStatusText(l, u"after the thread ended");
    EXPECT_FALSE(has(sys.splash.calls, "status after the thread ended"));
}

TEST_F(SplashTest, FailuresOfTheThreadOrTheWindowStayInside) {
    sys.splash.threadFails = true;
    showSplash(l, 1);
    EXPECT_TRUE(logHasInOrder(sys, l, {"ERROR: Could not start the splash screen thread"}));

    test::FakeSystem other;
    Launcher l2{other.platform, LauncherKind::App};
    other.splash.creationFails = true;
    showSplash(l2, 1);
    EXPECT_EQ(other.splash.calls, (Calls{"thread", "create"}));

    test::FakeSystem third;
    Launcher l3{third.platform, LauncherKind::App};
    third.splash.onCreate = [] { throw std::runtime_error("no window"); };
    EXPECT_NO_THROW(showSplash(l3, 1));
    third.splash.onCreate = nullptr;
    hideSplash(l3);  // the splash counts as started; nothing to hide
    EXPECT_FALSE(has(third.splash.calls, "hide"));
}

TEST_F(SplashTest, ThreadLeavesTheLauncherAloneOnceItIsGone) {
    auto owned = std::make_unique<Launcher>(sys.platform, LauncherKind::App);
    sys.splash.deferThreads = true;
    showSplash(*owned, 1);
    owned.reset();
    sys.splash.runThreads();
    EXPECT_EQ(sys.splash.calls, (Calls{"thread"}));

    test::FakeSystem other;
    auto second = std::make_unique<Launcher>(other.platform, LauncherKind::App);
    other.splash.beforeTick = [&](int n) {
        if (n == 3) second.reset();
    };
    showSplash(*second, 1);
    EXPECT_TRUE(hasInOrder(other.splash.calls, {"tick 3", "destroy"}));
    EXPECT_FALSE(has(other.splash.calls, "tick 4"));
}

// The runtime's splash library: three exports that record their calls.
struct LibraryCalls {
    static inline Calls calls;
    static inline const void* data = nullptr;
    static inline std::uint32_t size = 0;
    static void init() { calls.push_back("SplashInit"); }
    static int loadMemory(void* d, std::uint32_t s) {
        calls.push_back("SplashLoadMemory");
        data = d;
        size = s;
        return 1;
    }
    static void close() { calls.push_back("SplashClose"); }
};

class RuntimeSplashTest : public SplashTest {
protected:
    RuntimeSplashTest() {
        LibraryCalls::calls.clear();
        l.store.setProperty(prop::useJavaSplash, "1");
        l.jvmHome = "c:\\jre";
        sys.splash.addResource(10, 10000, {'G', 'I', 'F', '8', '9', 'a'});
    }
    void addLibrary(bool withClose = true) {
        auto& exports = sys.libraries.libraries["c:\\jre\\bin\\splashscreen.dll"].exports;
        exports["SplashInit"] = reinterpret_cast<void*>(&LibraryCalls::init);
        exports["SplashLoadMemory"] = reinterpret_cast<void*>(&LibraryCalls::loadMemory);
        if (withClose) exports["SplashClose"] = reinterpret_cast<void*>(&LibraryCalls::close);
    }
};

TEST_F(RuntimeSplashTest, ImageResourceIsHandedToTheLibraryAndClosedOnHide) {
    addLibrary();
    showSplash(l, 1);
    EXPECT_EQ(LibraryCalls::calls, (Calls{"SplashInit", "SplashLoadMemory"}));
    EXPECT_EQ(LibraryCalls::size, 6u);
    EXPECT_EQ(std::string(static_cast<const char*>(LibraryCalls::data), 6), "GIF89a");
    EXPECT_TRUE(sys.splash.calls.empty());  // no thread, no window
    const Calls lines = log();
    EXPECT_TRUE(logHasInOrder(sys, l, {"loading splashscreen dll from c:\\jre\\bin\\splashscreen.dll"}));
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::string& line) {
        return line.rfind("splash load memory returned 1 (", 0) == 0 && line.size() > 4 &&
               line.compare(line.size() - 4, 4, ", 6)") == 0;
    }));
    showSplash(l, 1);  // shown already
    EXPECT_EQ(sys.libraries.attempts.size(), 1u);
    hideSplash(l);
    hideSplash(l);
    EXPECT_EQ(LibraryCalls::calls, (Calls{"SplashInit", "SplashLoadMemory", "SplashClose", "SplashClose"}));
}

TEST_F(RuntimeSplashTest, FatalErrorClosesTheImageBeforeTheBox) {
    addLibrary();
    showSplash(l, 1);
    l.errorDisplayMode = true;
    EXPECT_THROW(fatalMessage(l, "It failed"), test::FakeExit);
    EXPECT_EQ(LibraryCalls::calls.back(), "SplashClose");
    EXPECT_EQ(sys.ui.boxes.size(), 1u);
}

TEST_F(RuntimeSplashTest, MissingLibraryOrExportLeavesNoSplash) {
    hideSplash(l);  // nothing shown: nothing called, and a later show still happens
    showSplash(l, 1);
    EXPECT_TRUE(logHasInOrder(sys, l, {"ERROR: Could not load splashscreen.dll"}));
    hideSplash(l);
    addLibrary(false);
    showSplash(l, 1);
    EXPECT_TRUE(logHasInOrder(sys, l, {"ERROR: Could not find functions in splashscreen.dll"}));
    EXPECT_TRUE(LibraryCalls::calls.empty());
    EXPECT_EQ(sys.libraries.attempts.size(), 2u);
}

TEST_F(RuntimeSplashTest, MissingImageResourceSkipsTheLoadButCountsAsShown) {
    test::FakeSystem bare;
    Launcher l2{bare.platform, LauncherKind::App};
    test::enableLog(bare);
    bare.fs.addDirectory("c:\\temp");
    l2.store.setProperty(prop::useJavaSplash, "1");
    l2.jvmHome = "c:\\jre";
    auto& exports = bare.libraries.libraries["c:\\jre\\bin\\splashscreen.dll"].exports;
    exports["SplashInit"] = reinterpret_cast<void*>(&LibraryCalls::init);
    exports["SplashLoadMemory"] = reinterpret_cast<void*>(&LibraryCalls::loadMemory);
    exports["SplashClose"] = reinterpret_cast<void*>(&LibraryCalls::close);
    showSplash(l2, 1);
    hideSplash(l2);
    EXPECT_EQ(LibraryCalls::calls, (Calls{"SplashInit", "SplashClose"}));
    EXPECT_TRUE(logHasInOrder(bare, l2, {"ERROR: Could not find the splash image resource"}));
}

}  // namespace
}  // namespace zendra
