#include "jvm_search.h"

#include <gtest/gtest.h>

#include "fake_jvm_support.h"
#include "jvm_registry.h"
#include "property_ids.h"

namespace zendra {
namespace {

using test::addJre;
using test::FakeJre;
using test::logHasInOrder;

class JvmSearchTest : public ::testing::Test {
protected:
    JvmSearchTest() {
        test::enableLog(sys);
        sys.fs.addDirectory("c:\\app");
    }
    void sequence(const std::string& entries) { l.store.setProperty(prop::searchSequence, entries); }
    void range(const std::string& minimum, const std::string& maximum) {
        l.store.setProperty(prop::minJavaVersion, minimum);
        l.store.setProperty(prop::maxJavaVersion, maximum);
    }
    bool logged(const std::string& line) { return test::logCount(sys, l, line) > 0; }
    test::FakeSystem sys;
    Launcher l{sys.platform, LauncherKind::App};
};

TEST_F(JvmSearchTest, PreferredLocationComesFirstWhenItPasses) {
    sys.fs.addFile("c:\\app\\.quillon\\pref_jre.cfg", "c:\\Pref\r\nignored\r\n");
    addJre(sys, "c:\\pref", FakeJre().withVersion("1.8.0_1"));
    addJre(sys, "c:\\seq", FakeJre().withVersion("1.7.0_1"));
    sequence("Bc:\\seq");
    JvmLocation found = searchJVM(l);
    EXPECT_EQ(found.kind, LocationKind::Directory);
    EXPECT_EQ(found.text, "c:\\Pref");
    EXPECT_EQ(found.javaExe, "c:\\pref\\bin\\java.exe");
    EXPECT_TRUE(logHasInOrder(sys, l, {"Searching for a JVM", "Has preferred location c:\\Pref", "Using preferred location"}));

    range("", "1.7");
    found = searchJVM(l);
    EXPECT_EQ(found.text, "c:\\seq");
    EXPECT_EQ(test::logCount(sys, l, "Using preferred location"), 1);
}

TEST_F(JvmSearchTest, EnvironmentEntryComesBeforeTheRegistryEntry) {
    sequence("EJAVA_HOME;Y");
    addJre(sys, "c:\\sun", FakeJre().withVersion("1.8.0_2"));
    sys.registry.setString(Hive::LocalMachine, std::string(kJavaSoftJreKey) + "\\1.8", "JavaHome", "c:\\sun");
    addJre(sys, "c:\\jh", FakeJre().withVersion("1.8.0_1"));
    sys.env.vars["JAVA_HOME"] = "c:/jh";
    JvmLocation found = searchJVM(l);
    EXPECT_EQ(found.kind, LocationKind::Variable);
    EXPECT_EQ(found.text, "JAVA_HOME");
    EXPECT_EQ(found.javaExe, "c:\\jh\\bin\\java.exe");

    sys.env.vars.erase("JAVA_HOME");
    found = searchJVM(l);
    EXPECT_EQ(found.kind, LocationKind::Registry);
    EXPECT_EQ(found.javaExe, "c:\\sun\\bin\\java.exe");
    EXPECT_EQ(found.text, "");
    EXPECT_TRUE(logHasInOrder(sys, l, {"Testing location JAVA_HOME (type E)", "Testing location  (type Y)",
                                       "found sun c:\\sun\\bin\\java.exe 1.8.0_2"}));
}

TEST_F(JvmSearchTest, OtherTypeLettersAreLoggedAndSkipped) {
    addJre(sys, "c:\\a");
    addJre(sys, "c:\\b");
    sequence("xc:\\a;;;bc:\\a;Bc:\\b;");
    JvmLocation found = searchJVM(l);
    EXPECT_EQ(found.text, "c:\\b");
    EXPECT_TRUE(logHasInOrder(sys, l, {"Testing location c:\\a (type x)", "Testing location c:\\a (type b)",
                                       "Testing location c:\\b (type B)"}));
    EXPECT_EQ(sys.process.hiddenRuns.size(), 1u);

    range("1.9", "");
    addJre(sys, "c:\\app\\rel", FakeJre().withVersion("11.0.2"));
    sequence("Rrel");
    EXPECT_EQ(searchJVM(l).javaExe, "c:\\app\\rel\\bin\\java.exe");
    EXPECT_FALSE(logged("Testing relative location rel"));
}

TEST_F(JvmSearchTest, SearchPathEntryRefusesBetaVersionsThatDirectoriesAccept) {
    addJre(sys, "c:\\path", FakeJre().withVersion("1.8.0-ea"));
    sys.fs.searchDirectories = {"c:\\path\\bin"};
    sequence("Son the path");
    EXPECT_EQ(searchJVM(l).kind, LocationKind::None);

    sequence("Son the path;Ac:\\path");
    JvmLocation found = searchJVM(l);
    EXPECT_EQ(found.kind, LocationKind::Directory);

    addJre(sys, "c:\\path2");
    sys.fs.searchDirectories = {"c:\\path2\\bin"};
    found = searchJVM(l);
    EXPECT_EQ(found.kind, LocationKind::SearchPath);
    EXPECT_EQ(found.text, "on the path");
    EXPECT_EQ(found.javaExe, "c:\\path2\\bin\\java.exe");
}

TEST_F(JvmSearchTest, RelativePassTakesAnExistingJavaExeWithoutVersionCheck) {
    range("1.9", "");
    addJre(sys, "c:\\abs");
    addJre(sys, "c:\\app\\j");
    sequence("Ac:\\abs;R\\\\srv\\jre;Bc:\\gone;Aj");
    JvmLocation found = searchJVM(l);
    EXPECT_EQ(found.kind, LocationKind::Directory);
    EXPECT_EQ(found.text, "j");
    EXPECT_EQ(found.javaExe, "c:\\app\\j\\bin\\java.exe");
    EXPECT_TRUE(logHasInOrder(sys, l, {"Testing relative location c:\\gone", "Testing relative location j",
                                       "c:\\app\\j\\bin\\java.exe exists"}));
    EXPECT_FALSE(logged("Testing relative location c:\\abs"));
    EXPECT_FALSE(logged("Testing relative location \\\\srv\\jre"));

    sys.fs.addFile("c:\\gone\\bin\\java.exe", "MZ");
    EXPECT_EQ(searchJVM(l).text, "c:\\gone");
}

TEST_F(JvmSearchTest, VariablesAreExpandedInTheFirstPassOnly) {
    range("1.9", "");
    sys.env.vars["JREDIR"] = "c:\\x";
    addJre(sys, "c:\\x");
    sequence("A${JREDIR}");
    EXPECT_EQ(searchJVM(l).kind, LocationKind::None);
    EXPECT_TRUE(logHasInOrder(sys, l, {"Testing location c:\\x (type A)", "Testing relative location ${JREDIR}",
                                       "Search sequence finished"}));
}

TEST_F(JvmSearchTest, InstallerLocationComesBetweenTheSequenceAndTheRelativePass) {
    l.store.setProperty(prop::installationDirectory, "..\\Inst");
    sys.fs.addFile("c:\\Inst\\.quillon\\inst_jre.cfg", "c:\\fromInstaller\n");
    range("1.8", "");
    addJre(sys, "c:\\frominstaller");
    addJre(sys, "c:\\app\\jre", FakeJre().withVersion("1.7.0"));
    sequence("Ajre");
    JvmLocation found = searchJVM(l);
    EXPECT_EQ(found.text, "c:\\fromInstaller");
    EXPECT_TRUE(logHasInOrder(sys, l, {"Testing location jre (type A)", "Has installer location c:\\fromInstaller",
                                       "Using installer location"}));
    EXPECT_FALSE(logged("Testing relative location jre"));
}

TEST_F(JvmSearchTest, PreviousInstallationsPerUserThenPerMachine) {
    l.store.setProperty(prop::applicationId, "id");
    sys.registry.setString(Hive::CurrentUser, kInstallationsKey, "id", "c:\\user");
    sys.registry.setString(Hive::LocalMachine, kInstallationsKey, "id", "c:\\machine");
    addJre(sys, "c:\\machine\\jre");
    JvmLocation found = searchJVM(l);
    EXPECT_EQ(found.kind, LocationKind::Registry);
    EXPECT_EQ(found.javaExe, "c:\\machine\\jre\\bin\\java.exe");
    EXPECT_TRUE(logged("found JRE from previous installation (machine) c:\\machine\\jre\\bin\\java.exe"));

    addJre(sys, "c:\\user\\jre");
    EXPECT_EQ(searchJVM(l).javaExe, "c:\\user\\jre\\bin\\java.exe");
    EXPECT_TRUE(logged("found JRE from previous installation (user) c:\\user\\jre\\bin\\java.exe"));
    EXPECT_FALSE(logged("Search sequence finished"));
}

TEST_F(JvmSearchTest, JavaHomeVariablesCloseTheSearch) {
    sys.env.vars["ZENDRA_JAVA_HOME"] = "c:/zj";
    sys.env.vars["QUILLON_JAVA_HOME"] = "c:\\qj";
    addJre(sys, "c:\\zj");
    addJre(sys, "c:\\qj");
    JvmLocation found = searchJVM(l);
    EXPECT_EQ(found.kind, LocationKind::Variable);
    EXPECT_EQ(found.text, "ZENDRA_JAVA_HOME");
    EXPECT_EQ(found.javaExe, "c:\\zj\\bin\\java.exe");

    sys.env.vars["ZENDRA_JAVA_HOME"] = "c:/beta";
    addJre(sys, "c:\\beta", FakeJre().withVersion("1.8.0-ea"));
    found = searchJVM(l);
    EXPECT_EQ(found.text, "QUILLON_JAVA_HOME");
    EXPECT_TRUE(logHasInOrder(sys, l, {"Search sequence finished", "checkJavaExe (c:\\beta\\bin\\java.exe, [out], , , 0)",
                                       "beta vm not allowed", "checkJavaExe (c:\\qj\\bin\\java.exe, [out], , , 0)"}));

    sys.env.vars.clear();
    EXPECT_EQ(searchJVM(l).kind, LocationKind::None);
}

TEST_F(JvmSearchTest, LocationFilesReadTheirFirstLineEvenWhenEmpty) {
    EXPECT_EQ(readJreConfigFile(l, kPreferredLocationFile), std::nullopt);
    sys.fs.addFile("c:\\app\\.quillon\\pref_jre.cfg", "");
    EXPECT_EQ(readJreConfigFile(l, kPreferredLocationFile), std::nullopt);
    sys.fs.addFile("c:\\app\\.quillon\\pref_jre.cfg", "\r\n\r\nc:\\later\r\n");
    EXPECT_EQ(readJreConfigFile(l, kPreferredLocationFile), "");

    addJre(sys, "c:\\app");
    JvmLocation found = searchJVM(l);
    EXPECT_EQ(found.kind, LocationKind::Directory);
    EXPECT_EQ(found.text, "");
    EXPECT_EQ(found.javaExe, "c:\\app\\bin\\java.exe");
}

}  // namespace
}  // namespace zendra
