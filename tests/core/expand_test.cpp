#include "expand.h"

#include <gtest/gtest.h>

#include "fake_platform.h"
#include "logger.h"

namespace zendra {
namespace {

class ExpandTest : public ::testing::Test {
protected:
    ExpandTest() { sys.fs.addFile("c:\\app\\launcher.exe", ""); }
    std::string expand(std::string text) {
        expandVariables(l, text);
        return text;
    }
    std::string logText() {
        auto path = l.log.getLogFilePath();
        return path ? sys.fs.content(*path) : std::string();
    }
    test::FakeSystem sys;
    Launcher l{sys.platform, LauncherKind::App};
};

TEST_F(ExpandTest, FixedPatternsExpandToTheLauncherValues) {
    l.launcherTempDir = "c:\\temp\\run";
    l.jvmHome = "c:\\jre\\bin\\..";
    for (const char* p : {"ZENDRA", "QUILLON"}) {
        const std::string n = p;
        EXPECT_EQ(expand("%" + n + "_EXEDIR%|${" + n + "_EXEDIR}"), "c:\\app\\|c:\\app\\");
        EXPECT_EQ(expand("%" + n + "_TEMPDIR%|${" + n + "_TEMPDIR}"), "c:\\temp\\run|c:\\temp\\run");
        EXPECT_EQ(expand("a%" + n + "_PATHLIST_SEPARATOR%b${" + n + "_PATHLIST_SEPARATOR}"), "a;b;");
        EXPECT_EQ(expand("%" + n + "_JVM_HOME%|${" + n + "_JVM_HOME}"), "c:\\jre\\bin\\..|c:\\jre\\bin\\..");
    }
    EXPECT_EQ(expand("${launcher:sys.launcherDirectory}x;${launcher:sys.launcherTempDirectory}"
                     "${launcher:sys.pathlistSeparator}${launcher:sys.jvmHome}|${launcher:sys.tempDir}"),
              "c:\\app\\x;c:\\temp\\run;c:\\jre\\bin\\..|c:\\temp\\");
    l.jvmHome.clear();
    EXPECT_EQ(expand("[${launcher:sys.jvmHome}]"), "[]");
    EXPECT_EQ(expand("${launcher:sys.JVMHOME} %zendra_exedir% ${NOT_SET}"), "${launcher:sys.JVMHOME} %zendra_exedir% ${NOT_SET}");
}

TEST_F(ExpandTest, EnvironmentMatchesExactAndUpperCaseSpellingsOnly) {
    sys.env.vars = {{"Foo", "bar"}, {"ZENDRA_EXEDIR", "from-env"}};
    EXPECT_EQ(expand("${Foo}/${FOO}/${foo}/$Foo/%Foo%"), "bar/bar/${foo}/$Foo/%Foo%");
    EXPECT_EQ(expand("${ZENDRA_EXEDIR}"), "c:\\app\\");  // the launcher's own variables come first
}

TEST_F(ExpandTest, InsertedValuesAreSkippedButLaterVariablesSeeThem) {
    // A value holding its own reference is not expanded again, not even by the upper-case pass.
    sys.env.vars = {{"A", "${B}"}, {"B", "${A}"}, {"SELF", "<${SELF}>"}};
    EXPECT_EQ(expand("${SELF}${SELF}"), "<${SELF}><${SELF}>");
    // Block order: A's value is expanded by B's pass; B's value comes too late for A's pass.
    EXPECT_EQ(expand("${A}"), "${A}");
    sys.env.vars = {{"A", "%ZENDRA_EXEDIR%"}};
    EXPECT_EQ(expand("${A}"), "%ZENDRA_EXEDIR%");
}

TEST_F(ExpandTest, EveryReplacementIsLoggedWithTheWholeText) {
    sys.fs.addDirectory("c:\\tmp");
    sys.env.vars = {{"TMP", "c:\\tmp"}, {"ZENDRA_LOG", "yes"}, {"lib", "x.jar"}};
    EXPECT_EQ(expand("${lib};${LIB}"), "x.jar;x.jar");
    const std::string log = logText();
    EXPECT_NE(log.find("\nexpanding ${lib} to x.jar in x.jar;${LIB}.\nexpanding ${LIB} to x.jar in x.jar;x.jar.\n"),
              std::string::npos)
        << log;
}

TEST_F(ExpandTest, MultiplyingReferencesStopAfterABoundedNumberOfReplacements) {
    sys.fs.addDirectory("c:\\tmp");
    sys.env.vars = {{"TMP", "c:\\tmp"}, {"ZENDRA_LOG", "yes"}};
    for (int i = 1; i < 30; ++i) sys.env.vars[formatText("V%02d", i)] = formatText("${V%02d}${V%02d}", i + 1, i + 1);
    const std::string text = expand("${V01}");
    EXPECT_LE(text.size(), 1u << 20);
    const std::string log = logText();
    EXPECT_LT(log.size(), 400'000u);
    EXPECT_NE(log.find("ERROR: not expanding ${V11}: more than 1024 replacements\n"), std::string::npos);
    EXPECT_EQ(log.find("ERROR: not expanding", log.find("more than 1024") + 1), std::string::npos);
}

TEST_F(ExpandTest, SystemTempDirectoryIsProbedOnlyWhenReferencedAndAnewEachTime) {
    const int before = sys.fs.createDirectoryCalls;
    EXPECT_EQ(expand("${launcher:sys.launcherDirectory} ${OTHER}"), "c:\\app\\ ${OTHER}");
    EXPECT_EQ(sys.fs.createDirectoryCalls, before);
    EXPECT_EQ(expand("${launcher:sys.tempDir}a;${launcher:sys.tempDir}b"), "c:\\temp\\a;c:\\temp\\b");
    EXPECT_EQ(sys.fs.createDirectoryCalls, before + 1);
    sys.fs.temp = {"c:\\other\\", 9, 0};
    EXPECT_EQ(expand("${launcher:sys.tempDir}"), "c:\\other\\");
}

TEST_F(ExpandTest, RunawayGrowthStopsAtTheLimit) {
    const std::string big(700'000, 'x');
    sys.env.vars = {{"BIG", big}};
    EXPECT_EQ(expand("${BIG}${BIG}"), big + "${BIG}");
}

}  // namespace
}  // namespace zendra
