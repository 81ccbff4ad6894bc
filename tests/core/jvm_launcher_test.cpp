#include "jvm_launcher.h"

#include <gtest/gtest.h>

#include "fake_jni.h"
#include "fake_jvm_support.h"
#include "java_bridges.h"
#include "property_ids.h"
#include "vm_hooks.h"

namespace zendra {
namespace {

using test::FakeExit;
using test::FakeJvm;
using test::logHasInOrder;
using Calls = std::vector<std::string>;

constexpr const char* kZendraMain = "com/zendra/runtime/WinLauncher";
constexpr const char* kQuillonMain = "com/quillon/runtime/launcher/WinLauncher";
constexpr const char* kFirstRun = "com/quillon/runtime/launcher/FirstRun";
constexpr const char* kController = "com/zendra/runtime/ZendraController";

class JvmLauncherTest : public ::testing::Test {
protected:
    JvmLauncherTest() {
        test::enableLog(sys);
        sys.fs.addFile("c:\\app\\launcher.exe", "MZ");
        sys.fs.addDirectory("c:\\temp");
        sys.env.vars["PATH"] = "c:\\windows";
        sys.env.vars["MANPATH"] = "";
        l.store.setProperty(prop::launcherType, "1");
        l.store.setProperty(prop::errorVmStart, "VM failed");
        l.store.setProperty(prop::errorMainClass, "No main class");
        l.store.setProperty(prop::errorMainMethod, "No main method");
        l.store.setProperty(prop::errorInternal, "Internal {0}");
        l.errorDisplayMode = false;
        l.createJavaVm = FakeJvm::createEntry();
        jvm.withMain(kZendraMain);
    }
    bool launch(const ArgumentList& args = {u"launcher.exe", u"file.txt"}, bool destroy = true) {
        return launchProgram(l, args, destroy);
    }
    // The exit code of a launch that ends the process, and what it wrote to standard error.
    std::pair<int, std::string> fatalLaunch() {
        try {
            launch();
        } catch (const FakeExit& e) {
            return {e.code, sys.ui.stderrText.substr(0, sys.ui.stderrText.find("\n\nLog: "))};
        }
        return {-1, ""};
    }
    void addFirstRunMarker() { sys.fs.addFile("c:\\app\\.quillon\\firstrun", ""); }
    bool mainCalled() const { return jvm.count("CallStaticVoidMethod " + std::string(kZendraMain) + ".main ([Ljava/lang/String;)V") +
                                         jvm.count("CallStaticVoidMethod " + std::string(kQuillonMain) + ".main ([Ljava/lang/String;)V") > 0; }

    test::FakeSystem sys;
    Launcher l{sys.platform, LauncherKind::App};
    FakeJvm jvm;
};

TEST_F(JvmLauncherTest, MainGetsTheLaunchArgumentsAndTheVmIsDestroyedAfterIt) {
    ASSERT_TRUE(launch());
    EXPECT_EQ(jvm.version, JNI_VERSION_1_2);
    EXPECT_EQ(jvm.ignoreUnrecognized, JNI_TRUE);
    EXPECT_EQ(jvm.options.front(), "-Dzendra.moduleName=c:\\app\\launcher.exe");
    EXPECT_EQ(jvm.options.back(), "-Djava.class.path=");
    EXPECT_EQ(jvm.mainArguments,
              (std::vector<std::u16string>{u"true", u"", u"", u"", u"false", u"launcher.exe", u"file.txt"}));
    EXPECT_EQ(jvm.calls, (Calls{"JNI_CreateJavaVM", "FindClass com/zendra/runtime/WinLauncher",
                                "GetStaticMethodID com/zendra/runtime/WinLauncher.main ([Ljava/lang/String;)V",
                                "FindClass java/lang/String", "NewObjectArray java/lang/String", "NewString",
                                "SetObjectArrayElement", "NewString", "SetObjectArrayElement", "NewString",
                                "SetObjectArrayElement", "NewString", "SetObjectArrayElement", "NewString",
                                "SetObjectArrayElement", "NewString", "SetObjectArrayElement", "NewString",
                                "SetObjectArrayElement",
                                "CallStaticVoidMethod com/zendra/runtime/WinLauncher.main ([Ljava/lang/String;)V",
                                "ExceptionOccurred", "DestroyJavaVM"}));
    EXPECT_TRUE(l.jvmCreated);
    EXPECT_EQ(l.vm, jvm.vm());
    EXPECT_EQ(l.env, jvm.env());
    EXPECT_TRUE(logHasInOrder(sys, l, {"launching program", "Creating JVM", "JVM created",
                                       "main class: com/zendra/runtime/WinLauncher", "param count: 7", "param 0: true",
                                       "param 5: launcher.exe", "param 6: file.txt", "calling main", "main returned",
                                       "dest JVM", "launch done"}));
}

TEST_F(JvmLauncherTest, WithoutDestroyTheVmStays) {
    ASSERT_TRUE(launch({u"launcher.exe"}, false));
    EXPECT_EQ(jvm.count("DestroyJavaVM"), 0);
    EXPECT_TRUE(logHasInOrder(sys, l, {"main returned", "launch done"}));
    EXPECT_EQ(test::logCount(sys, l, "dest JVM"), 0);
}

TEST_F(JvmLauncherTest, VmThatCannotBeCreatedFailsTheLaunch) {
    jvm.createResult = JNI_ENOMEM;
    EXPECT_FALSE(launch());
    EXPECT_FALSE(l.jvmCreated);
    EXPECT_EQ(jvm.calls, Calls{"JNI_CreateJavaVM"});
    EXPECT_EQ(jvm.hooks, (std::vector<std::string>{"vfprintf", "abort"}));
    EXPECT_TRUE(logHasInOrder(sys, l, {"Creating JVM", "ERROR: could not initialize JVM"}));
    l.createJavaVm = nullptr;
    EXPECT_FALSE(launch());
    EXPECT_EQ(jvm.count("JNI_CreateJavaVM"), 1);
}

TEST_F(JvmLauncherTest, ExceptionFromMainIsDescribedAndNotFollowedByDestroy) {
    jvm.mainThrows = true;
    EXPECT_FALSE(launch());
    EXPECT_EQ(jvm.count("ExceptionDescribe"), 1);
    EXPECT_EQ(jvm.count("DestroyJavaVM"), 0);
    EXPECT_TRUE(logHasInOrder(sys, l, {"main returned", "ERROR: an exception occured", "ERROR: could not call main"}));
}

TEST_F(JvmLauncherTest, MissingLauncherClassOrMainEndsTheProcess) {
    jvm.methods.clear();
    EXPECT_EQ(fatalLaunch(), std::make_pair(1, std::string("No main method")));
    EXPECT_TRUE(logHasInOrder(sys, l, {"ERROR: could not find main method"}));
    sys.ui.stderrText.clear();
    jvm.classes.erase(kZendraMain);
    EXPECT_EQ(fatalLaunch(), std::make_pair(1, std::string("No main class")));
    EXPECT_TRUE(logHasInOrder(sys, l, {"ERROR: could not find main class"}));
}

TEST_F(JvmLauncherTest, AllocationFailuresEndTheProcessWithAnInternalError) {
    jvm.arrayFails = true;
    EXPECT_EQ(fatalLaunch(), std::make_pair(1, std::string("Internal Error: paramArray (jvm_launcher)")));
    jvm.arrayFails = false;
    jvm.stringFailsAt = 2;
    sys.ui.stderrText.clear();
    EXPECT_EQ(fatalLaunch(), std::make_pair(1, std::string("Internal Error: jstr (jvm_launcher)")));
    EXPECT_FALSE(mainCalled());
}

TEST_F(JvmLauncherTest, FirstRunHookOnlyForQuillonWithTheMarker) {
    addFirstRunMarker();
    ASSERT_TRUE(launch());  // zendra flavour: no marker test at all
    EXPECT_EQ(jvm.count(std::string("FindClass ") + kFirstRun), 0);
    jvm.calls.clear();
    l.flavourLetter = 'q';
    jvm.withMain(kQuillonMain);
    jvm.classes.insert(kFirstRun);
    jvm.methods.insert(std::string(kFirstRun) + ".firstRun ()Z");
    ASSERT_TRUE(launch());
    EXPECT_EQ(jvm.count("CallStaticBooleanMethod com/quillon/runtime/launcher/FirstRun.firstRun ()Z"), 1);
    EXPECT_TRUE(mainCalled());
}

TEST_F(JvmLauncherTest, FirstRunThatSaysStopOrThrowsSkipsMainAndSucceeds) {
    l.flavourLetter = 'q';
    addFirstRunMarker();
    jvm.classes.insert(kFirstRun);
    jvm.methods.insert(std::string(kFirstRun) + ".firstRun ()Z");
    jvm.firstRunAnswer = JNI_FALSE;
    ASSERT_TRUE(launch());
    EXPECT_FALSE(mainCalled());
    EXPECT_EQ(jvm.count("DestroyJavaVM"), 1);
    EXPECT_TRUE(logHasInOrder(sys, l, {"JVM created", "checkFirstRun stopped further execution", "launch done"}));
    jvm.firstRunAnswer = JNI_TRUE;
    jvm.firstRunThrows = true;
    EXPECT_FALSE(checkFirstRun(l));
    EXPECT_EQ(jvm.count("ExceptionDescribe"), 1);
}

TEST_F(JvmLauncherTest, FirstRunClassOrMethodMissingIsAnInternalError) {
    l.flavourLetter = 'q';
    addFirstRunMarker();
    jvm.classes.insert(kFirstRun);
    EXPECT_EQ(fatalLaunch(), std::make_pair(1, std::string("Internal 15")));
    jvm.classes.erase(kFirstRun);
    sys.ui.stderrText.clear();
    EXPECT_EQ(fatalLaunch(), std::make_pair(1, std::string("Internal 14")));
    l.store.setProperty(prop::installationDirectory, "..\\inst");
    EXPECT_EQ(firstRunMarkerPath(l), "c:\\inst\\.quillon\\firstrun");
}

TEST_F(JvmLauncherTest, ControllerIsReachableOnlyOnceTheVmExists) {
    ControllerHandles handles;
    EXPECT_EQ(attachController(l, handles), nullptr);
    detachController(l, handles);
    EXPECT_TRUE(jvm.calls.empty());
    ASSERT_TRUE(launch({}, false));
    jvm.calls.clear();
    EXPECT_EQ(attachController(l, handles), jvm.env());
    EXPECT_EQ(handles.env, jvm.env());
    EXPECT_FALSE(handles.usable());  // the application has no controller
    EXPECT_EQ(jvm.calls, (Calls{"AttachCurrentThreadAsDaemon", std::string("FindClass ") + kController}));
    detachController(l, handles);
    EXPECT_EQ(jvm.calls.back(), "DetachCurrentThread");
    EXPECT_EQ(handles.env, nullptr);
    jvm.attachResult = JNI_ERR;
    EXPECT_EQ(attachController(l, handles), nullptr);
}

TEST_F(JvmLauncherTest, ControllerAnswersActionsAndTextsUnchanged) {
    ASSERT_TRUE(launch({}, false));
    jvm.classes.insert(kController);
    jvm.methods = {std::string(kController) + ".getAction ()I", std::string(kController) + ".getText ()Ljava/lang/String;"};
    ControllerHandles handles;
    ASSERT_NE(attachController(l, handles), nullptr);
    ASSERT_TRUE(handles.usable());
    jvm.action = 1;
    EXPECT_EQ(controllerAction(handles), 1);
    EXPECT_EQ(controllerText(handles), std::nullopt);
    jvm.text = u"Loading \u4e2d\u00e9\U0001F600";
    EXPECT_EQ(controllerText(handles), std::optional<std::u16string>(u"Loading \u4e2d\u00e9\U0001F600"));
    EXPECT_EQ(jvm.count("GetStringChars"), jvm.count("ReleaseStringChars"));
    EXPECT_EQ(jvm.count("DeleteLocalRef"), 1);  // the polling thread keeps no string alive
}

TEST_F(JvmLauncherTest, ControllerExceptionsArePrintedAndReadAsNoAnswer) {
    ASSERT_TRUE(launch({}, false));
    jvm.classes.insert(kController);
    jvm.methods = {std::string(kController) + ".getAction ()I", std::string(kController) + ".getText ()Ljava/lang/String;"};
    ControllerHandles handles;
    ASSERT_NE(attachController(l, handles), nullptr);
    jvm.action = 2;
    jvm.exceptionPending = true;  // getAction threw
    EXPECT_EQ(controllerAction(handles), 0);
    EXPECT_FALSE(jvm.exceptionPending);
    jvm.text = u"status";
    jvm.exceptionPending = true;  // getText threw
    EXPECT_EQ(controllerText(handles), std::nullopt);
    EXPECT_EQ(jvm.count("ExceptionDescribe"), 2);
    EXPECT_EQ(jvm.count("GetStringChars"), 0);
    EXPECT_EQ(controllerAction(handles), 2);
}

TEST(VmEndedText, TheVmsWordsFillThePlaceholderOrFollowInABox) {
    const std::string said = "Error occurred during initialization of VM\nToo small maximum heap\n";
    const std::string words = "Error occurred during initialization of VM\nToo small maximum heap";
    EXPECT_EQ(vmEndedText("No VM: {0}.", said, false), "No VM: " + words + ".");
    EXPECT_EQ(vmEndedText("No VM.", said, true), "No VM.\n\n" + words);
    EXPECT_EQ(vmEndedText("No VM.", said, false), "No VM.");  // already on standard error
    EXPECT_EQ(vmEndedText("No VM.", "\n", true), "No VM.");
}

}  // namespace
}  // namespace zendra
