#include "jvm_registry.h"

#include <gtest/gtest.h>

#include "fake_jvm_support.h"
#include "property_ids.h"

namespace zendra {
namespace {

using test::addJre;
using test::FakeJre;

class JvmRegistryTest : public ::testing::Test {
protected:
    JvmRegistryTest() { test::enableLog(sys); }
    // A JavaSoft catalogue entry with a runtime of that version below c:\<home>.
    void addJavaSoft(const std::string& catalogue, const std::string& name, const std::string& home,
                     const std::string& version) {
        addJre(sys, home, FakeJre().withVersion(version));
        sys.registry.setString(Hive::LocalMachine, catalogue + "\\" + name, "JavaHome", home);
    }
    // A located runtime recorded in one hive.
    std::string addLocated(Hive hive, const std::string& home, const std::string& version) {
        const std::string exe = addJre(sys, home, FakeJre().withVersion(version));
        sys.registry.addKey(hive, kLocatedJvmsKey + jvmPathKey(exe));
        return exe;
    }
    test::FakeSystem sys;
    Launcher l{sys.platform, LauncherKind::App};
};

TEST_F(JvmRegistryTest, CurrentVersionsPreferTheRuntimeUnlessTheKitIsGreater) {
    sys.registry.setString(Hive::LocalMachine, kJavaSoftJreKey, "CurrentVersion", "1.6");
    sys.registry.setString(Hive::LocalMachine, kJavaSoftJdkKey, "CurrentVersion", "1.6");
    addJavaSoft(kJavaSoftJreKey, "1.6", "c:\\jre6", "1.6.0_20");
    addJavaSoft(kJavaSoftJdkKey, "1.6", "c:\\jdk6", "1.6.0_20");
    EXPECT_EQ(findCurrentJavaSoftJvm(l, {})->javaExe, "c:\\jre6\\bin\\java.exe");

    sys.registry.setString(Hive::LocalMachine, kJavaSoftJdkKey, "CurrentVersion", "1.7");
    addJavaSoft(kJavaSoftJdkKey, "1.7", "c:\\jdk7", "1.7.0");
    EXPECT_EQ(findCurrentJavaSoftJvm(l, {})->javaExe, "c:\\jdk7\\bin\\java.exe");
    EXPECT_EQ(findCurrentJavaSoftJvm(l, {"", "1.6"})->javaExe, "c:\\jre6\\bin\\java.exe");
    EXPECT_EQ(findCurrentJavaSoftJvm(l, {"1.7", ""})->version, "1.7.0");

    l.store.setProperty(prop::requireJdk, "1");
    EXPECT_FALSE(findCurrentJavaSoftJvm(l, {"", "1.6"}).has_value());
    sys.registry.setString(Hive::LocalMachine, kJavaSoftJdkKey, "CurrentVersion", "1.6");
    EXPECT_FALSE(findCurrentJavaSoftJvm(l, {"", "1.6"}).has_value());
    sys.fs.addFile("c:\\jdk6\\lib\\tools.jar", "PK");
    sys.fs.addFile("c:\\jdk6\\jre\\bin\\java.exe", "MZ");
    test::scriptJava(sys, "c:\\jdk6\\jre\\bin\\java.exe", "java version \"1.6.0_20\"\n");
    EXPECT_EQ(findCurrentJavaSoftJvm(l, {"", "1.6"})->javaExe, "c:\\jdk6\\jre\\bin\\java.exe");
}

TEST_F(JvmRegistryTest, SubKeysAreTriedGreatestFirstWithinTheKeyRange) {
    addJavaSoft(kJavaSoftJreKey, "1.6", "c:\\a", "1.6.0_10");
    addJavaSoft(kJavaSoftJreKey, "1.7", "c:\\b", "1.7.0");
    addJavaSoft(kJavaSoftJreKey, "1.6.0_20", "c:\\c", "1.6.0_20-beta");
    auto found = scanJavaSoftCatalogue(l, {"", "1.6"}, kJavaSoftJreKey);
    ASSERT_TRUE(found.has_value());
    EXPECT_EQ(found->javaExe, "c:\\a\\bin\\java.exe");
    EXPECT_EQ(sys.process.hiddenRuns,
              (std::vector<std::string>{"\"c:\\c\\bin\\java.exe\" -version", "\"c:\\a\\bin\\java.exe\" -version"}));
    EXPECT_FALSE(scanJavaSoftCatalogue(l, {"1.8", ""}, kJavaSoftJreKey).has_value());
}

TEST_F(JvmRegistryTest, JavaNineAndLaterCataloguesJoinTheOlderOnes) {
    sys.registry.setString(Hive::LocalMachine, kJavaSoftJdk9Key, "CurrentVersion", "17");
    sys.registry.setString(Hive::LocalMachine, kJavaSoftJdkKey, "CurrentVersion", "1.8");
    addJavaSoft(kJavaSoftJdk9Key, "17", "c:\\jdk17", "17.0.15");
    addJavaSoft(kJavaSoftJdkKey, "1.8", "c:\\jdk8", "1.8.0_202");
    EXPECT_EQ(findCurrentJavaSoftJvm(l, {})->javaExe, "c:\\jdk17\\bin\\java.exe");
    EXPECT_EQ(findCurrentJavaSoftJvm(l, {"", "11"})->javaExe, "c:\\jdk8\\bin\\java.exe");

    addJavaSoft(kJavaSoftJre9Key, "9.0.4", "c:\\jre9", "9.0.4");
    addJavaSoft(kJavaSoftJre9Key, "21", "c:\\jre21", "21.0.1");
    EXPECT_EQ(scanJavaSoftCatalogues(l, {}, {kJavaSoftJreKey, kJavaSoftJre9Key})->javaExe, "c:\\jre21\\bin\\java.exe");
    EXPECT_EQ(findJavaSoftJvm(l, {"9", "11"})->javaExe, "c:\\jre9\\bin\\java.exe");
}

TEST_F(JvmRegistryTest, CataloguesFollowTheKitRequirement) {
    addJavaSoft(kJavaSoftJreKey, "1.8", "c:\\jre8", "1.8.0_202");
    addJavaSoft(kJavaSoftJdkKey, "1.7", "c:\\jdk7", "1.7.0_80");
    sys.fs.addFile("c:\\jdk7\\lib\\tools.jar", "PK");
    EXPECT_EQ(findJavaSoftJvm(l, {})->javaExe, "c:\\jre8\\bin\\java.exe");
    l.store.setProperty(prop::requireJdk, "1");
    sys.fs.addFile("c:\\jdk7\\jre\\bin\\java.exe", "MZ");
    test::scriptJava(sys, "c:\\jdk7\\jre\\bin\\java.exe", "java version \"1.7.0_80\"\n");
    EXPECT_EQ(findJavaSoftJvm(l, {})->javaExe, "c:\\jdk7\\jre\\bin\\java.exe");
}

TEST_F(JvmRegistryTest, VendorCataloguesFollowTheJavaSoftOnesGreatestVersionFirst) {
    struct Row {
        const char* key;    // the version's key below HKEY_LOCAL_MACHINE
        const char* value;  // the value naming the home
        const char* home;   // as written, with the separator some installers leave
        const char* version;
    };
    const Row rows[] = {
        {"SOFTWARE\\Eclipse Adoptium\\JDK\\17.0.15.6\\hotspot\\MSI", "Path", "c:\\temurin\\", "17.0.15"},
        {"SOFTWARE\\Azul Systems\\Zulu\\zulu-8-jre", "InstallationPath", "c:\\zulu-jre", "1.8.0_462"},
        {"SOFTWARE\\Eclipse Adoptium\\JRE\\8.0.452.9\\hotspot\\MSI", "Path", "c:\\temurin-jre", "1.8.0_452"},
        {"SOFTWARE\\Microsoft\\JDK\\21.0.7.6\\hotspot\\MSI", "Path", "c:\\microsoft\\", "21.0.7"},
        {"SOFTWARE\\Azul Systems\\Zulu\\zulu-25", "InstallationPath", "c:\\zulu", "25.0.1"},
    };
    for (const Row& row : rows) {
        std::string home = row.home;
        if (home.ends_with('\\')) home.pop_back();
        addJre(sys, home, FakeJre().withVersion(row.version));
        sys.registry.setString(Hive::LocalMachine, row.key, row.value, row.home);
        EXPECT_EQ(scanVendorCatalogues(l, {"", row.version})->javaExe, home + "\\bin\\java.exe") << row.key;
    }
    EXPECT_EQ(findJavaSoftJvm(l, {"9", ""})->javaExe, "c:\\zulu\\bin\\java.exe");
    addJavaSoft(kJavaSoftJdk9Key, "11", "c:\\oracle", "11.0.2");
    EXPECT_EQ(findJavaSoftJvm(l, {"9", ""})->javaExe, "c:\\oracle\\bin\\java.exe");
    EXPECT_EQ(findJavaSoftJvm(l, {"", "1.8"})->javaExe, "c:\\temurin-jre\\bin\\java.exe");
}

TEST_F(JvmRegistryTest, LocatedRuntimesRankByVersionAndTheMachineWinsTies) {
    addLocated(Hive::CurrentUser, "c:\\u1", "1.6.0_20");
    addLocated(Hive::CurrentUser, "c:\\u2", "1.6.0_20");
    addLocated(Hive::CurrentUser, "c:\\u0", "1.6.0_3");
    EXPECT_EQ(scanLocatedJvms(l, Hive::CurrentUser, {})->javaExe, "c:\\u1\\bin\\java.exe");
    EXPECT_EQ(scanLocatedJvms(l, Hive::CurrentUser, {"", "1.6.0_19"})->javaExe, "c:\\u0\\bin\\java.exe");

    addLocated(Hive::LocalMachine, "c:\\m1", "1.6.0_20");
    addLocated(Hive::LocalMachine, "c:\\m0", "1.6.0_2");
    EXPECT_EQ(findLocatedJvm(l, {})->javaExe, "c:\\m1\\bin\\java.exe");
    EXPECT_EQ(findLocatedJvm(l, {"", "1.6.0_19"})->javaExe, "c:\\u0\\bin\\java.exe");
}

TEST_F(JvmRegistryTest, RegistryEntryPrefersLocatedOnEqualVersions) {
    addJavaSoft(kJavaSoftJreKey, "1.8", "c:\\sun", "1.8.0_202");
    addLocated(Hive::LocalMachine, "c:\\picked", "1.8.0_202");
    EXPECT_EQ(findRegistryJvm(l, {}), "c:\\picked\\bin\\java.exe");
    EXPECT_TRUE(test::logHasInOrder(sys, l, {"found sun c:\\sun\\bin\\java.exe 1.8.0_202",
                                             "found located c:\\picked\\bin\\java.exe 1.8.0_202"}));
    addJavaSoft(kJavaSoftJreKey, "1.9", "c:\\newer", "1.9.0");
    EXPECT_EQ(findRegistryJvm(l, {}), "c:\\newer\\bin\\java.exe");
    EXPECT_EQ(findRegistryJvm(l, {"", "1.7"}), std::nullopt);
}

TEST_F(JvmRegistryTest, PreviousInstallationsAreTriedInListOrder) {
    const std::string key = kInstallationsKey;
    sys.registry.setString(Hive::CurrentUser, key, "app-1", "c:\\first;;c:\\second;c:\\third");
    addJre(sys, "c:\\second\\jre", FakeJre().withVersion("1.8.0_1"));
    addJre(sys, "c:\\third\\jre", FakeJre().withVersion("1.8.0_2"));
    EXPECT_EQ(findPreviousInstallation(l, Hive::CurrentUser, {}), std::nullopt);
    l.store.setProperty(prop::applicationId, "app-1");
    EXPECT_EQ(findPreviousInstallation(l, Hive::CurrentUser, {}), "c:\\second\\jre\\bin\\java.exe");
    EXPECT_EQ(findPreviousInstallation(l, Hive::LocalMachine, {}), std::nullopt);
    EXPECT_TRUE(test::logHasInOrder(sys, l, {"found installations: c:\\first;;c:\\second;c:\\third"}));
}

TEST_F(JvmRegistryTest, ValuesLongerThanTheBufferAreUnreadable) {
    sys.registry.setString(Hive::LocalMachine, "k", "v", std::string(100, '1'));
    EXPECT_EQ(readRegistryValue(l, Hive::LocalMachine, "k", "v", 100), std::string(100, '1'));
    EXPECT_EQ(readRegistryValue(l, Hive::LocalMachine, "k", "v", 99), std::nullopt);
    sys.registry.setValue(Hive::LocalMachine, "k", "z", RegType::String, {'1', '.', '8', 0});
    EXPECT_EQ(readRegistryValue(l, Hive::LocalMachine, "k", "z", 100), "1.8");
}

TEST_F(JvmRegistryTest, LocatedRuntimeIsRecordedPerMachine) {
    recordLocatedJvm(l, "C:\\Java\\bin\\java.exe");
    EXPECT_TRUE(sys.registry.keyExists(Hive::LocalMachine, "SOFTWARE\\orvane-labs\\zendra\\locatedjvms\\C:/Java/bin/java.exe"));
    EXPECT_FALSE(sys.registry.keyExists(Hive::CurrentUser, "SOFTWARE\\orvane-labs\\zendra\\locatedjvms"));
}

}  // namespace
}  // namespace zendra
