#include "class_path.h"

#include <gtest/gtest.h>

#include "fake_jvm_support.h"
#include "property_ids.h"

namespace zendra {
namespace {

using test::FakeExit;

class ClassPathTest : public ::testing::Test {
protected:
    ClassPathTest() {
        test::enableLog(sys);
        sys.fs.addFile("c:\\app\\launcher.exe", "MZ");
        sys.fs.addDirectory("c:\\temp");
        l.store.setProperty(prop::errorClassPathEntry, "Missing class path entry {0}");
        l.store.setProperty(prop::errorClassPathVariable, "Undefined variable {0}");
        l.errorDisplayMode = false;
    }
    std::string compose(const OptionSink& sink = {}) { return composeClassPath(l, sink); }
    std::string configured(const std::string& entries) {
        l.store.setProperty(prop::classPath, entries);
        std::string text;
        addConfiguredClassPath(l, text);
        return text;
    }
    // The exit code and standard-error text of a class path build that ends the process.
    std::pair<int, std::string> fatal(const std::string& entries) {
        try {
            configured(entries);
        } catch (const FakeExit& e) {
            return {e.code, sys.ui.stderrText.substr(0, sys.ui.stderrText.find("\n\nLog: "))};
        }
        return {-1, ""};
    }
    test::FakeSystem sys;
    Launcher l{sys.platform, LauncherKind::App};
};

TEST_F(ClassPathTest, NothingConfiguredGivesAnEmptyValue) {
    EXPECT_EQ(compose(), "-Djava.class.path=");
    OptionSink appendOnly;
    appendOnly.classpathAppend = "extra.jar";
    EXPECT_EQ(compose(appendOnly), "-Djava.class.path=extra.jar");  // no empty first element
}

TEST_F(ClassPathTest, ArchivesOfTheRunDirectoryComeJarsFirstThenTheUserDirectory) {
    for (const char* name : {"b.zip", "a.jar", "c.JAR", "notes.txt", "user\\u.zip", "user\\v.jar"})
        sys.fs.addFile(std::string("c:\\temp\\run\\") + name, "");
    l.launcherTempDir = "c:\\temp\\run";
    EXPECT_EQ(compose(), "-Djava.class.path=c:\\temp\\run\\a.jar;c:\\temp\\run\\c.JAR;c:\\temp\\run\\b.zip;"
                         "c:\\temp\\run\\user\\v.jar;c:\\temp\\run\\user\\u.zip");  // no empty last element
    sys.fs.addFile("c:\\user\\stray.jar", "");
    l.launcherTempDir.clear();
    EXPECT_EQ(compose(), "-Djava.class.path=");  // no per-run directory: nothing from the drive root
}

TEST_F(ClassPathTest, RuntimeLibraryOnlyForQuillonAppAndServiceLaunchers) {
    l.store.setProperty(prop::installationDirectory, "..\\Install");
    l.flavourLetter = 'q';
    EXPECT_EQ(compose(), "-Djava.class.path=c:\\Install\\.quillon\\qlnruntime.jar");
    l.store.setProperty(prop::installationDirectory, "");
    EXPECT_EQ(compose(), "-Djava.class.path=c:\\app\\.quillon\\qlnruntime.jar");
    Launcher setup{sys.platform, LauncherKind::Setup};
    setup.flavourLetter = 'q';
    EXPECT_EQ(composeClassPath(setup, {}), "-Djava.class.path=");
    l.flavourLetter = 'z';
    EXPECT_EQ(compose(), "-Djava.class.path=");
}

TEST_F(ClassPathTest, OptionSlotsShapeTheTextAroundTheConfiguredEntries) {
    sys.fs.addFile("c:\\temp\\run\\inc.jar", "");
    l.launcherTempDir = "c:\\temp\\run";
    l.flavourLetter = 'q';
    l.store.setProperty(prop::classPath, "A0lib\\app.jar");
    OptionSink sink;
    sink.classpathPrepend = "first.jar";
    sink.classpathOverride = "base.jar";
    sink.classpathAppend = "last.jar";
    const std::string kept = "-Djava.class.path=first.jar;c:\\temp\\run\\inc.jar;c:\\app\\.quillon\\qlnruntime.jar;";
    EXPECT_EQ(compose(sink), kept + "base.jar;last.jar");
    sink.classpathOverride = "base.jar;";
    EXPECT_EQ(compose(sink), kept + "base.jar;last.jar");
    sink.classpathAppend.clear();
    EXPECT_EQ(compose(sink), kept + "base.jar");  // the override's own last separator goes too
    sink.classpathAppend = "last.jar";
    sink.classpathOverride.clear();
    EXPECT_EQ(compose(sink), kept + "c:\\app\\lib\\app.jar;last.jar");
}

TEST_F(ClassPathTest, ArchiveAndDirectoryEntriesAreAddedWhetherTheyExistOrNot) {
    sys.fs.addFile("c:\\app\\lib\\a.jar", "");
    sys.fs.addDirectory("c:\\shared\\classes");
    EXPECT_EQ(configured("A1lib\\a.jar;;D1c:\\shared\\classes;A0missing.jar;Xignored"),
              "c:\\app\\lib\\a.jar;c:\\shared\\classes;c:\\app\\missing.jar;");
    sys.env.vars["TWO"] = "lib\\a.jar;c:\\shared\\classes";
    EXPECT_EQ(configured("A1${TWO}"), "c:\\app\\lib\\a.jar;c:\\shared\\classes;");
    EXPECT_TRUE(test::logHasInOrder(sys, l, {"classpath entry A1${TWO}"}));
}

TEST_F(ClassPathTest, RequiredEntriesThatAreMissingEndTheLaunch) {
    sys.env.vars["LIB"] = "c:\\nowhere";
    EXPECT_EQ(fatal("A1${LIB}\\x.jar"), std::make_pair(1, std::string("Missing class path entry c:\\nowhere\\x.jar")));
    sys.ui.stderrText.clear();
    EXPECT_EQ(fatal("S1scan"), std::make_pair(1, std::string("Missing class path entry scan")));
    sys.ui.stderrText.clear();
    EXPECT_EQ(fatal("E1UNSET"), std::make_pair(1, std::string("Undefined variable UNSET")));
    sys.ui.stderrText.clear();
    sys.env.vars["EMPTY"] = "";
    EXPECT_EQ(fatal("E1EMPTY"), std::make_pair(1, std::string("Missing class path entry EMPTY")));
    sys.ui.stderrText.clear();
    EXPECT_EQ(fatal("X1${LIB}\\y.jar"), std::make_pair(1, std::string("Missing class path entry c:\\nowhere\\y.jar")));
}

TEST_F(ClassPathTest, VariableEntriesDropEnclosingQuotesAndDoubleSeparators) {
    sys.env.vars["QUOTED"] = "\"c:\\x y\\a.jar\"";
    sys.env.vars["LIST"] = "c:\\b.jar;c:\\c.jar;";
    sys.env.vars["HALF"] = "\"c:\\d.jar";
    EXPECT_EQ(configured("E1QUOTED;E0UNSET;E0LIST;E0HALF"),
              "c:\\x y\\a.jar;c:\\b.jar;c:\\c.jar;\"c:\\d.jar;");
}

TEST_F(ClassPathTest, ScannedDirectoriesCountAsFoundEvenWhenEmpty) {
    sys.fs.addDirectory("c:\\app\\empty");
    sys.fs.addFile("c:\\app\\plugins\\p.zip", "");
    sys.fs.addFile("c:\\app\\plugins\\q.jar", "");
    EXPECT_EQ(configured("S1empty;S1plugins;S0absent"), "c:\\app\\plugins\\q.jar;c:\\app\\plugins\\p.zip;");
}

TEST_F(ClassPathTest, NativeLibraryDirectoriesGoInFrontOfPath) {
    sys.env.vars["PATH"] = "c:\\windows";
    l.store.setProperty(prop::nativeLibraryPath, "lib;..\\common;${launcher:sys.jvmHome}");
    setNativeLibraryPath(l);
    const std::string expected = "c:\\app\\lib;c:\\app\\..\\common;c:\\windows";
    EXPECT_EQ(sys.env.vars["PATH"], expected);
    EXPECT_EQ(sys.env.runtimeCopy, std::vector<std::string>{"PATH=" + expected});
    EXPECT_TRUE(test::logHasInOrder(sys, l, {"native lib dir is lib;..\\common;${launcher:sys.jvmHome}",
                                             "Setting PATH (native libs) " + expected}));
}

TEST_F(ClassPathTest, PathIsSetAgainWhenNothingIsConfiguredOrSettingFails) {
    sys.env.vars["PATH"] = "c:\\windows";
    setNativeLibraryPath(l);
    EXPECT_EQ(sys.env.vars["PATH"], "c:\\windows");
    sys.env.failingSets.insert("PATH");
    l.store.setProperty(prop::nativeLibraryPath, "c:\\native\\");
    setNativeLibraryPath(l);
    EXPECT_EQ(sys.env.vars["PATH"], "c:\\windows");
    EXPECT_EQ(sys.env.runtimeCopy.back(), "PATH=c:\\native\\;c:\\windows");
    EXPECT_TRUE(test::logHasInOrder(sys, l, {"Setting PATH (native libs) c:\\native\\;c:\\windows failed with error 8"}));
}

}  // namespace
}  // namespace zendra
