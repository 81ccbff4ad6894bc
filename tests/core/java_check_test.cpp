#include "java_check.h"

#include <gtest/gtest.h>

#include "fake_jvm_support.h"
#include "java_runtime.h"
#include "jvm_registry.h"
#include "property_ids.h"
#include "version_rules.h"

namespace zendra {
namespace {

using test::addJre;
using test::FakeJre;
using test::logHasInOrder;

class JavaCheckTest : public ::testing::Test {
protected:
    JavaCheckTest() {
        test::enableLog(sys);
        sys.fs.addDirectory("c:\\app");
    }
    bool check(std::string javaExe, const VersionRange& range = {}, bool allowBeta = false) {
        checkedExe = std::move(javaExe);
        return checkJavaExe(l, checkedExe, version, range, allowBeta);
    }
    std::optional<std::string> cached(const std::string& javaExe, const std::string& name) {
        return sys.registry.getString(Hive::CurrentUser, kVersionCacheKey + jvmPathKey(javaExe), name);
    }
    test::FakeSystem sys;
    Launcher l{sys.platform, LauncherKind::App};
    std::string checkedExe;
    std::string version;
};

TEST_F(JavaCheckTest, BoundsArePrefixesComparedPieceByPieceWithNumbersAsNumbers) {
    struct Case {
        const char* version;
        const char* minimum;
        const char* maximum;
        bool inside;
    };
    for (const Case& c : {Case{"1.6.0_20", "1.6", "", true}, Case{"1.6", "1.6.0_10", "", false},
                          Case{"1.7.0_80", "", "1.7", true}, Case{"1.8.0", "", "1.7", false},
                          Case{"1.6.0_20", "1.6.0_3", "", true}, Case{"1.6.0_20", "", "1.6.0_3", false},
                          Case{"10.0.1", "", "1.8", false}, Case{"10.0.1", "", "9", false},
                          Case{"10.0.2", "9", "", true}, Case{"21", "9", "", true}, Case{"17.0.15", "1.8", "17", true},
                          Case{"9.0.4", "11", "", false}, Case{"9.0.4", "17", "", false}, Case{"9.0.4", "", "11", true},
                          Case{"1.8.0_202", "11", "", false}, Case{"1.8.0_05", "1.8.0_5", "1.8.0_5", true},
                          Case{"anything", "", "", true}, Case{"1.7", "1.7", "1.7", true}})
        EXPECT_EQ(versionInRange(l, c.version, {c.minimum, c.maximum}, false), c.inside)
            << c.version << " in [" << c.minimum << ", " << c.maximum << "]";
}

TEST_F(JavaCheckTest, BetaRuleRefusesMarkedVersionsUnlessAllowed) {
    for (const char* beta : {"1.8.0-ea", "1.7.0-rc1", "1.6.0-beta", "1.8.0_292-release"}) {
        EXPECT_FALSE(versionInRange(l, beta, {}, false)) << beta;
        EXPECT_TRUE(versionInRange(l, beta, {}, true)) << beta;
    }
    EXPECT_TRUE(versionInRange(l, "1.6.0-BETA", {}, false));
    EXPECT_EQ(test::logCount(sys, l, "beta vm not allowed"), 4);
    l.store.setProperty(prop::allowBetaJava, "1");
    EXPECT_TRUE(versionInRange(l, "1.8.0-ea", {}, false));
    EXPECT_FALSE(versionInRange(l, "1.8.0-ea", {"1.9", ""}, false));
}

TEST(KeyNameInRange, FamilyNamesPassBoundsTheyArePrefixesOf) {
    EXPECT_TRUE(keyNameInRange("1.6", {"1.6.0_10", ""}));
    EXPECT_FALSE(keyNameInRange("1.5", {"1.6.0_10", ""}));
    EXPECT_TRUE(keyNameInRange("1.6.0_20", {"", "1.6"}));
    EXPECT_FALSE(keyNameInRange("1.7", {"", "1.6"}));
    EXPECT_TRUE(keyNameInRange("1", {"1.6", "1.5"}));
    EXPECT_TRUE(keyNameInRange("17", {"1.8", "21"}));
    EXPECT_FALSE(keyNameInRange("9", {"", "1.8"}));
    EXPECT_FALSE(keyNameInRange("1.8", {"11", ""}));
    EXPECT_LT(compareVersionTexts("1.6", "1.6.0_20"), 0);
    EXPECT_LT(compareVersionTexts("1.6.0_20", "1.6.0_100"), 0);
    EXPECT_LT(compareVersionTexts("9.0.4", "17"), 0);
    EXPECT_EQ(compareVersionTexts("17.0.01", "17.0.1"), 0);
}

TEST(ParseVersionLine, TakesTheTextBetweenTheQuotes) {
    EXPECT_EQ(parseVersionLine("java version \"1.6.0_20\"\n"), "1.6.0_20");
    EXPECT_EQ(parseVersionLine("openjdk version \"17.0.15\" 2025-04-15\n"), "17.0.15");
    EXPECT_EQ(parseVersionLine("java version \"1.5.0\r\n"), "1.5.0");
    EXPECT_EQ(parseVersionLine("Picked up _JAVA_OPTIONS: -Xmx1g\n"), std::nullopt);
    EXPECT_EQ(parseVersionLine("java version 1.6\n"), std::nullopt);
    EXPECT_EQ(parseVersionLine("java version \"\"\n"), std::nullopt);
    // The text ends at a NUL byte, as the version cache keeps it.
    EXPECT_EQ(parseVersionLine(std::string("openjdk version \"21\0junk\"\n", 26)), "21");
    EXPECT_EQ(parseVersionLine(std::string("java version \"\0\"\n", 17)), std::nullopt);
}

TEST_F(JavaCheckTest, VersionComesFromTheFirstVersionLineOfTheOutput) {
    struct Case {
        const char* output;
        const char* version;  // nullptr: no version
    };
    for (const Case& c : {
             Case{"Picked up JAVA_TOOL_OPTIONS: -Dfile.encoding=UTF-8\nopenjdk version \"17.0.15\" 2025-04-15\n", "17.0.15"},
             Case{"NOTE: Picked up JDK_JAVA_OPTIONS: -Dv=\"version \"\r\nPicked up _JAVA_OPTIONS: -Xmx1g\r\n"
                  "OpenJDK 64-Bit Server VM warning: Ignoring option UseConcMarkSweepGC\r\n"
                  "java version \"1.8.0_202\"\r\nJava(TM) SE Runtime Environment\r\n",
                  "1.8.0_202"},
             Case{"Picked up JAVA_TOOL_OPTIONS: -Xmx1g\nError: could not open jvm.cfg\n", nullptr}}) {
        sys.fs.addFile("c:\\jre\\bin\\java.exe", "MZ");
        test::scriptJava(sys, "c:\\jre\\bin\\java.exe", c.output);
        EXPECT_EQ(checkJavaExeWithCache(l, checkedExe = "c:\\jre\\bin\\java.exe", version, {}, false, false),
                  c.version != nullptr);
        EXPECT_EQ(version, c.version ? c.version : "") << c.output;
    }
}

TEST_F(JavaCheckTest, OutputFileStillInUseIsDeletedOnceTheHandleIsGone) {
    const std::string exe = addJre(sys, "c:\\jre");
    sys.fs.busyFiles["c:\\temp\\znd1.tmp"] = 3;
    EXPECT_TRUE(check(exe));
    EXPECT_FALSE(sys.fs.exists("c:\\temp\\znd1.tmp"));
    EXPECT_EQ(sys.sync.sleeps, 3);

    sys.fs.busyFiles["c:\\temp\\znd2.tmp"] = 1000;
    EXPECT_TRUE(checkJavaExeWithCache(l, checkedExe, version, {}, false, false));
    EXPECT_TRUE(logHasInOrder(sys, l, {"ERROR: could not delete c:\\temp\\znd2.tmp (error 32)", "checkJavaExe returning 1"}));
}

TEST_F(JavaCheckTest, JavaHomeLeadsToJreBinFirstAndWithRequiredKitToToolsJar) {
    std::string exe;
    sys.fs.addFile("c:\\kit\\jre\\bin\\java.exe", "MZ");
    EXPECT_TRUE(javaHomeToJavaExe(l, exe, "c:\\kit"));
    EXPECT_EQ(exe, "c:\\kit\\jre\\bin\\java.exe");
    EXPECT_TRUE(javaHomeToJavaExe(l, exe, "c:\\nothing"));
    EXPECT_EQ(exe, "c:\\nothing\\bin\\java.exe");

    l.store.setProperty(prop::requireJdk, "1");
    EXPECT_FALSE(javaHomeToJavaExe(l, exe, "c:\\kit"));
    sys.fs.addFile("c:\\jdk\\lib\\tools.jar", "PK");
    sys.fs.addFile("c:\\jdk\\bin\\java.exe", "MZ");
    EXPECT_TRUE(javaHomeToJavaExe(l, exe, "c:\\jdk"));
    EXPECT_EQ(exe, "c:\\jdk\\jre\\bin\\java.exe");
    EXPECT_FALSE(check(exe));
    EXPECT_TRUE(logHasInOrder(sys, l, {"file doesn't exist", "checkJavaExe returning 0"}));
}

TEST_F(JavaCheckTest, DriveRootsExistWithoutALookUp) {
    for (const char* root : {"q:\\", "q:\\.", "q:\\.\\."}) EXPECT_TRUE(fileExists(l, root)) << root;
    EXPECT_FALSE(fileExists(l, "q:\\x"));
    EXPECT_FALSE(fileExists(l, "q:"));
}

TEST_F(JavaCheckTest, RunsTheQuotedShortFormAndCachesTheVersion) {
    sys.fs.addFile("c:\\Program Files\\Java\\bin\\java.exe", "MZ");
    sys.fs.shortNames["c:\\program files\\java\\bin\\java.exe"] = "c:\\PROGRA~1\\Java\\bin\\java.exe";
    test::scriptJava(sys, "c:\\progra~1\\java\\bin\\java.exe", "openjdk version \"17.0.15\" 2025-04-15\r\nmore\r\n");

    EXPECT_TRUE(check("c:\\Program Files\\\\Java\\bin\\java.exe", {"1.8", ""}));
    EXPECT_EQ(checkedExe, "c:\\program files\\java\\bin\\java.exe");
    EXPECT_EQ(version, "17.0.15");
    EXPECT_EQ(sys.process.hiddenRuns, std::vector<std::string>{"\"c:\\PROGRA~1\\Java\\bin\\java.exe\" -version"});
    EXPECT_EQ(sys.process.timeouts, std::vector<std::uint32_t>{60000});
    EXPECT_FALSE(sys.fs.exists("c:\\temp\\znd1.tmp"));

    const std::string key = "SOFTWARE\\orvane-labs\\zendra\\jvms\\c:/program files/java/bin/java.exe";
    auto time = sys.registry.queryValue(Hive::CurrentUser, key, "LastWriteTime");
    ASSERT_TRUE(time.has_value());
    EXPECT_EQ(time->type, static_cast<std::uint32_t>(RegType::Binary));
    EXPECT_EQ(time->data, (std::vector<std::uint8_t>{0x00, 0x00, 0x5a, 0xf6, 0x4c, 0xf5, 0xd4, 0x01}));
    auto text = sys.registry.queryValue(Hive::CurrentUser, key, "Version");
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(text->type, static_cast<std::uint32_t>(RegType::String));
    EXPECT_EQ(std::string(text->data.begin(), text->data.end()), "17.0.15");
    EXPECT_TRUE(logHasInOrder(sys, l,
                              {"checkJavaExe (c:\\Program Files\\\\Java\\bin\\java.exe, [out], 1.8, , 0)", "file exists",
                               "Exit Code 0", "Java version: 17.0.15", "got version from execution 17.0.15",
                               "checkJavaExe returning 1"}));
}

TEST_F(JavaCheckTest, WarmCacheStartsNoProcessUnlessTheTimeOrMarkerSaysSo) {
    const std::string exe = addJre(sys, "c:\\jre");
    EXPECT_TRUE(check(exe));
    EXPECT_TRUE(check(exe));
    EXPECT_EQ(sys.process.hiddenRuns.size(), 1u);
    EXPECT_TRUE(logHasInOrder(sys, l, {"got version from registry 1.8.0_202", "checkJavaExe returning 1"}));

    const std::string key = kVersionCacheKey + jvmPathKey(exe);
    sys.registry.setValue(Hive::CurrentUser, key, "LastWriteTime", RegType::Binary, {1, 2, 3, 4, 5, 6, 7, 8});
    EXPECT_TRUE(check(exe));
    EXPECT_EQ(sys.process.hiddenRuns.size(), 2u);

    auto time = sys.registry.queryValue(Hive::CurrentUser, key, "LastWriteTime");
    time->data.resize(4);
    sys.registry.setValue(Hive::CurrentUser, key, "LastWriteTime", RegType::Binary, time->data);
    EXPECT_FALSE(lookupCachedVersion(l, exe, 132'000'000'000'000'000ull).has_value());

    storeCachedVersion(l, exe, 132'000'000'000'000'000ull, "1.0.0");
    EXPECT_TRUE(check(exe));
    EXPECT_EQ(sys.process.hiddenRuns.size(), 3u);

    EXPECT_TRUE(checkJavaExeWithCache(l, checkedExe, version, {}, false, false));
    EXPECT_EQ(sys.process.hiddenRuns.size(), 4u);
    EXPECT_TRUE(l.useVersionCache);
}

TEST_F(JavaCheckTest, FailedRunsAreMarkedAndRunAgain) {
    const std::string exe = addJre(sys, "c:\\jre", FakeJre().withExitCode(1));
    EXPECT_FALSE(check(exe));
    EXPECT_EQ(cached(exe, "Version"), "1.0.0");
    EXPECT_FALSE(check(exe));
    EXPECT_EQ(sys.process.hiddenRuns.size(), 2u);
    EXPECT_TRUE(logHasInOrder(sys, l, {"Exit Code 1", "couldn't get version", "checkJavaExe returning 0"}));
    EXPECT_FALSE(sys.fs.exists("c:\\temp\\znd1.tmp"));
}

TEST_F(JavaCheckTest, HangingRunIsTerminatedAndNotMarked) {
    const std::string exe = addJre(sys, "c:\\jre", FakeJre().hanging());
    EXPECT_FALSE(check(exe));
    EXPECT_EQ(sys.process.timeouts, std::vector<std::uint32_t>{60000});
    EXPECT_TRUE(logHasInOrder(sys, l, {"Exit Code 259", "Terminating process", "couldn't get version"}));
    EXPECT_EQ(sys.registry.writes, 0);
}

TEST_F(JavaCheckTest, UnstartableOrUnreadableRunsGiveNoVersion) {
    sys.fs.addFile("c:\\jre\\bin\\java.exe", "MZ");
    EXPECT_FALSE(check("c:\\jre\\bin\\java.exe"));
    EXPECT_TRUE(logHasInOrder(
        sys, l,
        {"Could not create process \"c:\\jre\\bin\\java.exe\" -version > c:\\temp\\znd1.tmp (error 2)",
         "couldn't get version"}));
    EXPECT_FALSE(sys.fs.exists("c:\\temp\\znd1.tmp"));

    test::scriptJava(sys, "c:\\jre\\bin\\java.exe", "Error: could not open jvm.cfg\n");
    EXPECT_FALSE(check("c:\\jre\\bin\\java.exe"));
    EXPECT_EQ(sys.registry.writes, 0);

    EXPECT_FALSE(check("c:\\missing\\bin\\java.exe"));
    EXPECT_TRUE(logHasInOrder(sys, l, {"file doesn't exist", "checkJavaExe returning 0"}));
    EXPECT_EQ(sys.process.hiddenRuns.size(), 2u);
}

TEST_F(JavaCheckTest, WindowedApplicationsNeedAndUseJavaw) {
    l.store.setProperty(prop::launcherType, "1");
    EXPECT_TRUE(check(addJre(sys, "c:\\jre")));
    EXPECT_EQ(checkedExe, "c:\\jre\\bin\\javaw.exe");

    EXPECT_FALSE(check(addJre(sys, "c:\\bare", FakeJre().withoutJavaw())));
    EXPECT_EQ(checkedExe, "c:\\bare\\bin\\javaw.exe");
    EXPECT_TRUE(logHasInOrder(sys, l, {"got version from execution 1.8.0_202", "checkJavaExe returning 0"}));

    test::scriptJava(sys, "c:\\jre\\bin\\javaw.exe", "java version \"1.8.0_202\"\n");
    EXPECT_TRUE(check("c:\\jre\\bin\\javaw.exe"));
    EXPECT_EQ(checkedExe, "c:\\jre\\bin\\javaw.exe");

    for (const char* type : {"0", "5"}) {
        l.store.setProperty(prop::launcherType, type);
        EXPECT_TRUE(check("c:\\bare\\bin\\java.exe"));
        EXPECT_EQ(checkedExe, "c:\\bare\\bin\\java.exe") << type;
    }
}

TEST_F(JavaCheckTest, HomeDirectoryCheckResolvesAndAllowsBeta) {
    addJre(sys, "c:\\app\\jre", FakeJre().withVersion("1.8.0-ea"));
    std::string exe;
    EXPECT_TRUE(checkJavaHomeDir(l, exe, "JRE", {}, false));
    EXPECT_EQ(exe, "c:\\app\\jre\\bin\\java.exe");
    EXPECT_FALSE(checkJavaHomeDir(l, exe, "c:\\none", {}, false));
    EXPECT_TRUE(checkJavaHomeDir(l, exe, "c:\\None", {}, true));
    EXPECT_EQ(exe, "c:\\none\\bin\\java.exe");
    EXPECT_EQ(sys.process.hiddenRuns.size(), 1u);
}

}  // namespace
}  // namespace zendra
