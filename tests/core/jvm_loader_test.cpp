#include "jvm_loader.h"

#include <gtest/gtest.h>

#include "fake_jvm_support.h"
#include "jvm_registry.h"
#include "jvm_search.h"
#include "property_ids.h"

namespace zendra {
namespace {

using test::addJre;
using test::FakeJre;
using test::logHasInOrder;

class JvmLoaderTest : public ::testing::Test {
protected:
    JvmLoaderTest() {
        test::enableLog(sys);
        sys.fs.addDirectory("c:\\app");
        sys.env.vars["PATH"] = "c:\\windows";
        l.store.setProperty(prop::errorNoJvm, "No {0}-bit Java");
        l.store.setProperty(prop::errorJvmSource32, "Source32 {0}");
        l.store.setProperty(prop::errorJvmSource64, "Source64 {0}");
        l.store.setProperty(prop::errorJvmPath32, "Path32 {0}");
        l.store.setProperty(prop::errorJvmPath64, "Path64 {0}");
        l.store.setProperty(prop::errorVmStart, "VM start failed {0}");
    }
    bool search(bool showErrors = true) { return LoadDLL(l, showErrors, std::nullopt, false); }
    test::FakeSystem sys;
    Launcher l{sys.platform, LauncherKind::App};
};

TEST_F(JvmLoaderTest, PreferredVmTypeLoadsBeforeTheTableAndPublishesTheRuntime) {
    l.store.setProperty(prop::preferredVmType, "server");
    l.store.setProperty(prop::searchSequence, "Bc:\\jre");
    addJre(sys, "c:\\jre", FakeJre().withVmDir("server"));
    sys.libraries.libraries["c:\\jre\\bin\\hotspot\\jvm.dll"].exports["JNI_CreateJavaVM"] = &sys;
    ASSERT_TRUE(search());
    EXPECT_EQ(sys.libraries.attempts, std::vector<std::string>{"c:\\jre\\bin\\server\\jvm.dll"});
    EXPECT_EQ(l.createJavaVm, test::fakeCreateJavaVm());
    EXPECT_NE(l.jvmLibrary, nullptr);
    EXPECT_EQ(l.jvmHome, "c:\\jre\\bin\\..");
    EXPECT_EQ(l.jvmLocationKind, 2);
    EXPECT_EQ(sys.env.vars["PATH"], "c:\\windows;c:\\jre\\bin");
    EXPECT_EQ(sys.env.runtimeCopy, std::vector<std::string>{"PATH=c:\\windows;c:\\jre\\bin"});
    EXPECT_TRUE(logHasInOrder(sys, l, {"LoadDLL (1, (null), 0)", "Searching for a JVM",
                                       "Trying to load JVM-DLL from c:\\jre\\bin\\java.exe",
                                       "Setting PATH c:\\windows;c:\\jre\\bin",
                                       "Trying c:\\jre\\bin\\server\\jvm.dll (exists 1)", "Loading of JVM-DLL successful"}));
    EXPECT_TRUE(sys.ui.boxes.empty());
}

TEST_F(JvmLoaderTest, TableFollowsAMissingPreferredDirectoryAndSkipsUnloadableFiles) {
    l.store.setProperty(prop::preferredVmType, "custom");
    l.store.setProperty(prop::searchSequence, "Bc:\\jre");
    addJre(sys, "c:\\jre", FakeJre().withVmDir("client"));
    sys.fs.addFile("c:\\jre\\bin\\hotspot\\jvm.dll", "MZ32");
    sys.libraries.libraries["c:\\jre\\bin\\hotspot\\jvm.dll"].loadError = 193;
    ASSERT_TRUE(search());
    EXPECT_EQ(sys.libraries.attempts,
              (std::vector<std::string>{"c:\\jre\\bin\\custom\\jvm.dll", "c:\\jre\\bin\\hotspot\\jvm.dll",
                                        "c:\\jre\\bin\\client\\jvm.dll"}));
    EXPECT_TRUE(logHasInOrder(sys, l, {"Trying c:\\jre\\bin\\custom\\jvm.dll (exists 0)",
                                       "Trying c:\\jre\\bin\\hotspot\\jvm.dll (exists 1)", "Failed with error code 193",
                                       "Trying c:\\jre\\bin\\client\\jvm.dll (exists 1)"}));
    EXPECT_EQ(test::logCount(sys, l, "Failed with error code 126"), 0);
}

TEST_F(JvmLoaderTest, DevelopmentKitFallsBackToItsInnerRuntimeAndRestoresPath) {
    addJre(sys, "c:\\jdk", FakeJre().withVmDir(""));
    sys.fs.addFile("c:\\jdk\\jre\\bin\\server\\jvm.dll", "MZ");
    sys.libraries.libraries["c:\\jdk\\bin\\..\\jre\\bin\\server\\jvm.dll"].exports["JNI_CreateJavaVM"] = &sys;
    ASSERT_TRUE(LoadDLL(l, true, std::string("c:\\JDK"), false));
    EXPECT_EQ(sys.libraries.attempts.size(), 8u);
    EXPECT_EQ(sys.env.vars["PATH"], "c:\\windows;c:\\jdk\\bin\\..\\jre\\bin");
    EXPECT_EQ(sys.env.runtimeCopy, (std::vector<std::string>{"PATH=c:\\windows;c:\\jdk\\bin", "PATH=c:\\windows",
                                                             "PATH=c:\\windows;c:\\jdk\\bin\\..\\jre\\bin"}));
    EXPECT_EQ(l.jvmHome, "c:\\jdk\\bin\\..");
    EXPECT_EQ(l.createJavaVm, &sys);
    EXPECT_TRUE(logHasInOrder(sys, l, {"LoadDLL (1, c:\\JDK, 0)", "Got JRE location c:\\JDK (java exe: 0)",
                                       "MinVersion: , MaxVersion: ", "Setting PATH c:\\windows"}));
    EXPECT_TRUE(sys.process.hiddenRuns.empty());
}

TEST_F(JvmLoaderTest, WindowedRuntimeLosesNineCharactersForItsDirectory) {
    l.store.setProperty(prop::launcherType, "1");
    l.store.setProperty(prop::searchSequence, "Bc:\\jre");
    addJre(sys, "c:\\jre");
    ASSERT_TRUE(search());
    EXPECT_EQ(l.jvmJavaExe, "c:\\jre\\bin\\javaw.exe");
    EXPECT_EQ(l.jvmHome, "c:\\jre\\bin\\..");
    EXPECT_EQ(sys.libraries.attempts.back(), "c:\\jre\\bin\\server\\jvm.dll");
}

// Builds a runtime without a VM library that the search finds as the given kind.
void prepareUnloadable(test::FakeSystem& sys, Launcher& l, LocationKind kind) {
    const std::string exe = addJre(sys, "c:\\nolib", FakeJre().withVmDir(""));
    switch (kind) {
    case LocationKind::SearchPath:
        sys.fs.searchDirectories = {"c:\\nolib\\bin"};
        l.store.setProperty(prop::searchSequence, "Sjava on PATH");
        break;
    case LocationKind::Directory:
        l.store.setProperty(prop::searchSequence, "Ac:\\NoLib");
        break;
    case LocationKind::Variable:
        sys.env.vars["MY_JAVA"] = "c:\\nolib";
        l.store.setProperty(prop::searchSequence, "EMY_JAVA");
        break;
    default:
        sys.registry.addKey(Hive::LocalMachine, kLocatedJvmsKey + jvmPathKey(exe));
        l.store.setProperty(prop::searchSequence, "Y");
    }
}

TEST_F(JvmLoaderTest, FailureTextsFollowTheLocationKindAndWordSize) {
    struct Case {
        LocationKind kind;
        int wordSize;
        std::vector<std::string> texts;
    };
    const std::string end = "VM start failed {0}";
    for (const Case& c :
         {Case{LocationKind::SearchPath, 64, {"No 64-bit Java", "Source64 java on PATH", "Path64 java on PATH", end}},
          Case{LocationKind::SearchPath, 32, {"No 32-bit Java", "Source32 java on PATH", "Path32 java on PATH", end}},
          Case{LocationKind::Directory, 64, {"Path64 c:\\NoLib", end}},
          Case{LocationKind::Directory, 32, {"Path32 c:\\NoLib", end}},
          Case{LocationKind::Variable, 64, {"Source64 MY_JAVA", "Path64 MY_JAVA", end}},
          Case{LocationKind::Variable, 32, {"Source32 MY_JAVA", "Path32 MY_JAVA", end}},
          Case{LocationKind::Registry, 32, {end}}}) {
        test::FakeSystem s;
        Launcher other{s.platform, LauncherKind::App};
        other.store = l.store;
        other.wordSize = c.wordSize;
        prepareUnloadable(s, other, c.kind);
        EXPECT_FALSE(LoadDLL(other, true, std::nullopt, false));
        EXPECT_EQ(other.jvmLocationKind, static_cast<int>(c.kind));
        EXPECT_EQ(other.jvmHome, "c:\\nolib\\bin\\..");
        EXPECT_EQ(test::shownTexts(s), c.texts) << static_cast<int>(c.kind) << "/" << c.wordSize;
    }
}

TEST_F(JvmLoaderTest, SearchGoesOnPastARuntimeWithoutALoadableLibrary) {
    addJre(sys, "c:\\javapath", FakeJre().withVmDir(""));
    sys.fs.searchDirectories = {"c:\\javapath\\bin"};
    addJre(sys, "c:\\jdk");
    sys.env.vars["JAVA_HOME"] = "c:\\jdk";
    l.store.setProperty(prop::searchSequence, "S;EJAVA_HOME");
    ASSERT_TRUE(search());
    EXPECT_EQ(l.jvmJavaExe, "c:\\jdk\\bin\\java.exe");
    EXPECT_EQ(l.jvmLocationKind, 3);
    EXPECT_TRUE(logHasInOrder(sys, l, {"ERROR: Could not get DLL-Handle.",
                                       "No usable VM library for c:\\javapath\\bin\\java.exe, searching on",
                                       "Testing location JAVA_HOME (type E)", "Loading of JVM-DLL successful"}));
    EXPECT_TRUE(sys.ui.boxes.empty());
}

TEST_F(JvmLoaderTest, WithoutShowErrorsFailuresAreOnlyLogged) {
    prepareUnloadable(sys, l, LocationKind::Directory);
    EXPECT_FALSE(search(false));
    EXPECT_TRUE(sys.ui.boxes.empty());
    EXPECT_TRUE(logHasInOrder(sys, l, {"LoadDLL (0, (null), 0)", "ERROR: Could not get DLL-Handle.",
                                       "ERROR: Could not load functions"}));
    EXPECT_EQ(sys.env.vars["PATH"], "c:\\windows");

    l.store.setProperty(prop::searchSequence, "");
    EXPECT_FALSE(search(false));
    EXPECT_TRUE(logHasInOrder(sys, l, {"Search sequence finished", "ERROR: No JVM found"}));
    EXPECT_TRUE(sys.ui.boxes.empty());
    l.wordSize = 32;
    EXPECT_FALSE(search(true));
    EXPECT_EQ(test::shownTexts(sys), std::vector<std::string>{"No 32-bit Java"});
}

TEST_F(JvmLoaderTest, LibraryWithoutEntryPointStaysLoadedButFails) {
    l.store.setProperty(prop::searchSequence, "Bc:\\jre");
    addJre(sys, "c:\\jre");
    sys.libraries.libraries["c:\\jre\\bin\\server\\jvm.dll"].exports.clear();
    EXPECT_FALSE(search(false));
    EXPECT_NE(l.jvmLibrary, nullptr);
    EXPECT_EQ(l.createJavaVm, nullptr);
    EXPECT_EQ(test::logCount(sys, l, "ERROR: Could not get DLL-Handle."), 0);
    EXPECT_EQ(test::logCount(sys, l, "ERROR: Could not load functions"), 1);
    EXPECT_EQ(sys.env.vars["PATH"], "c:\\windows;c:\\jre\\bin");
}

TEST_F(JvmLoaderTest, ProvidedJavaExeIsAlwaysRunAndMayBeBeta) {
    const std::string exe = addJre(sys, "c:\\picked", FakeJre().withVersion("1.8.0-ea"));
    storeCachedVersion(l, exe, 132'000'000'000'000'000ull, "1.8.0-ea");
    ASSERT_TRUE(LoadDLL(l, true, std::string("C:\\Picked\\bin\\java.exe"), true));
    EXPECT_EQ(sys.process.hiddenRuns.size(), 1u);
    EXPECT_EQ(l.jvmLocationKind, 2);

    l.store.setProperty(prop::minJavaVersion, "1.9");
    EXPECT_FALSE(LoadDLL(l, true, std::string("C:\\Picked\\bin\\java.exe"), true));
    EXPECT_TRUE(logHasInOrder(sys, l, {"Got JRE location C:\\Picked\\bin\\java.exe (java exe: 1)",
                                       "MinVersion: 1.9, MaxVersion: ", "ERROR: Provided JVM unusable"}));
    EXPECT_EQ(test::shownTexts(sys), std::vector<std::string>{"No 64-bit Java"});
}

TEST_F(JvmLoaderTest, PathThatCannotBeSetIsLoggedAndLoadingGoesOn) {
    sys.env.failingSets = {"PATH"};
    sys.env.vars.erase("PATH");
    l.store.setProperty(prop::searchSequence, "Bc:\\jre");
    addJre(sys, "c:\\jre", FakeJre().withVmDir("jrockit"));
    EXPECT_TRUE(search());
    EXPECT_TRUE(logHasInOrder(sys, l, {"Setting PATH ;c:\\jre\\bin failed with error 8"}));
    EXPECT_EQ(sys.env.runtimeCopy, std::vector<std::string>{"PATH=;c:\\jre\\bin"});
}

}  // namespace
}  // namespace zendra
