#include "paths.h"

#include <gtest/gtest.h>

#include "errors.h"
#include "fake_platform.h"
#include "property_ids.h"

namespace zendra {
namespace {

using test::FakeExit;

class PathsTest : public ::testing::Test {
protected:
    PathsTest() { sys.fs.addDirectory("c:\\app"); }
    test::FakeSystem sys;
    Launcher l{sys.platform, LauncherKind::App};
};

TEST(IsRelativePath, DriveRootsAndUncAreAbsolute) {
    for (const char* rel : {"lib\\a.jar", "\\lib\\a.jar", "c:lib", "ab", "", "\"c:", "\"c:lib"})
        EXPECT_TRUE(isRelativePath(rel)) << rel;
    for (const char* abs : {"c:\\lib", "\\\\srv\\x", "\"c:\\lib", "Z:\\"})
        EXPECT_FALSE(isRelativePath(abs)) << abs;
}

TEST(CollapseBackslashes, KeepsALeadingPairOnly) {
    test::FakeCodec codec;
    std::string a = "c:\\dir\\\\sub\\\\\\x";
    collapseBackslashes(a, codec);
    EXPECT_EQ(a, "c:\\dir\\sub\\x");
    std::string unc = "\\\\server\\\\share";
    collapseBackslashes(unc, codec);
    EXPECT_EQ(unc, "\\\\server\\share");
    std::string one = "\\";
    collapseBackslashes(one, codec);
    EXPECT_EQ(one, "\\");
}

TEST(LowerCasePath, ChangesOnlyAsciiCapitals) {
    test::FakeCodec codec;
    std::string p = "C:\\Program Files\\\xC4pp";
    lowerCasePath(p, codec);
    EXPECT_EQ(p, "c:\\program files\\\xC4pp");
}

TEST_F(PathsTest, ExecutablePathPrefersLongFormAndFallsBackToShortName) {
    sys.process.moduleW = u"c:\\app\\launcher.exe";
    EXPECT_EQ(getExecutablePath(l), "c:\\app\\launcher.exe");

    Launcher other{sys.platform, LauncherKind::App};
    sys.process.moduleW = u"c:\\\u4e2d\u6587\\app.exe";
    sys.process.shortNamesW[u"c:\\\u4e2d\u6587\\app.exe"] = u"c:\\ABCD~1\\app.exe";
    EXPECT_EQ(getExecutablePath(other), "c:\\ABCD~1\\app.exe");
}

TEST_F(PathsTest, ExecutablePathUsesNarrowNameWhenNoShortFormHelps) {
    sys.process.moduleW = u"c:\\\u4e2d\\app.exe";
    sys.process.moduleA = "c:\\\\x\\app.exe";
    sys.fs.shortNames["c:\\\\x\\app.exe"] = "c:\\\\X~1\\app.exe";
    EXPECT_EQ(getExecutablePath(l), "c:\\X~1\\app.exe");

    Launcher old{sys.platform, LauncherKind::App};
    sys.process.wideLongPath = false;
    sys.process.moduleA = "c:\\old\\\\launcher.bin";
    EXPECT_EQ(getExecutablePath(old), "c:\\old\\launcher.bin");
}

TEST_F(PathsTest, ResolveAndFullPathAgainstTheExecutableDirectory) {
    EXPECT_EQ(getExecutableDirectory(l), "c:\\app\\");
    EXPECT_EQ(resolvePath(l, "lib\\\\a.jar"), "c:\\app\\lib\\a.jar");
    EXPECT_EQ(resolvePath(l, "d:\\x\\\\y"), "d:\\x\\y");
    const std::string ref = "c:\\Opts\\app.vmoptions";
    EXPECT_EQ(resolvePath(l, "more.vmoptions", &ref), "c:\\Opts\\more.vmoptions");
    EXPECT_EQ(getFullPath(l, "..\\JRE", false), "c:\\jre");
    EXPECT_EQ(getFullPath(l, "..\\JRE", true), "c:\\JRE");
    EXPECT_EQ(resolvePathList(l, ";lib;;d:\\n;"), "c:\\app\\lib;d:\\n");
}

TEST_F(PathsTest, DriveRootsExistWithoutTouchingTheDisk) {
    EXPECT_TRUE(pathExists(l, "q:\\"));
    EXPECT_TRUE(pathExists(l, "q:\\."));
    EXPECT_TRUE(pathExists(l, "q:\\.\\."));
    EXPECT_FALSE(pathExists(l, "c:\\missing"));
    EXPECT_TRUE(pathExists(l, "c:\\app"));
    sys.fs.addFile("c:\\app\\a.jar", "x");
    EXPECT_TRUE(getFileWriteTime(l, "c:\\app\\a.jar").has_value());
    EXPECT_FALSE(getFileWriteTime(l, "c:\\app\\b.jar").has_value());
}

TEST_F(PathsTest, ListFilesWithExtensionAddsTheDotWhenMissing) {
    sys.fs.addFile("c:\\app\\lib\\a.jar", "");
    sys.fs.addFile("c:\\app\\lib\\b.zip", "");
    sys.fs.addFile("c:\\app\\lib\\c.JAR", "");
    EXPECT_EQ(listFilesWithExtension(l, "c:\\app\\lib", "jar"), (std::vector<std::string>{"a.jar", "c.JAR"}));
    EXPECT_EQ(listFilesWithExtension(l, "c:\\app\\lib", ".zip"), (std::vector<std::string>{"b.zip"}));
    EXPECT_TRUE(listFilesWithExtension(l, "c:\\none", "jar").empty());
}

TEST_F(PathsTest, TempDirectoryIsTheSystemOneWithATrailingBackslash) {
    sys.fs.temp = {"c:\\temp", 7, 0};
    EXPECT_EQ(getTempDirectory(l), "c:\\temp\\");
    EXPECT_TRUE(sys.fs.exists("c:\\temp"));
}

TEST_F(PathsTest, TempDirectoryFallsBackToHomeWhenTheSystemHasNone) {
    sys.fs.temp = {"", 0, 5};
    sys.env.vars = {{"HOMEDRIVE", "c:"}, {"HOMEPATH", "\\users\\me"}};
    sys.fs.addDirectory("c:\\users\\me");
    EXPECT_EQ(getTempDirectory(l), "c:\\users\\me\\");
}

TEST_F(PathsTest, UnrepresentableTempPathSwitchesToTheWindowsTemp) {
    sys.fs.temp = {"c:\\users\\x\\temp\\", 18, 0};
    sys.fs.longNames["c:\\users\\x\\temp\\"] = "c:\\users\\???\\temp\\";
    sys.fs.addDirectory("c:\\windows\\temp");
    EXPECT_EQ(getTempDirectory(l), "c:\\windows\\temp\\");
    EXPECT_FALSE(sys.fs.exists("c:\\windows\\temp\\znd_w_testdir"));
}

TEST_F(PathsTest, NoWritableTempDirectoryIsFatalWithItsText) {
    sys.fs.temp = {"c:\\users\\x\\temp\\", 18, 0};
    sys.fs.longNames["c:\\users\\x\\temp\\"] = "c:\\?\\temp\\";
    for (const char* d : {"c:\\windows\\temp\\znd_w_testdir", "c:\\temp\\znd_w_testdir", "c:\\tmp\\znd_w_testdir",
                          "c:\\windows\\znd_w_testdir", "c:\\\\znd_w_testdir", "c:\\znd_w_testdir"})
        sys.fs.failingDirectories.insert(d);
    l.store.setProperty(prop::errorNoTempDir, "No temp dir");
    l.errorDisplayMode = false;
    try {
        getTempDirectory(l);
        FAIL() << "expected a fatal exit";
    } catch (const FakeExit& e) {
        EXPECT_EQ(e.code, 1);
    }
    EXPECT_EQ(sys.ui.stderrText, "No temp dir\n");
}

TEST_F(PathsTest, TempFileNameFallsBackToARandomName) {
    sys.fs.temp = {"c:\\temp\\", 8, 0};
    EXPECT_EQ(createTempFileName(l), "c:\\temp\\znd1.tmp");
    sys.fs.tempFileNameFails = true;
    std::string name = createTempFileName(l);
    EXPECT_EQ(name.rfind("c:\\temp\\znd", 0), 0u);
    EXPECT_FALSE(sys.fs.exists(name));
    EXPECT_EQ(getPidFileName(l, 1234), "c:\\temp\\znd_p1234.tmp");
}

TEST_F(PathsTest, LauncherTempDirIsTheTempNameWithTimeSuffixAndLeavesNoEmptyFile) {
    sys.clock.seconds = 1234567;
    createLauncherTempDir(l);
    EXPECT_EQ(l.launcherTempDir, "c:\\temp\\znd1.tmp_dir1234567");
    EXPECT_TRUE(sys.fs.exists(l.launcherTempDir));
    EXPECT_FALSE(sys.fs.exists("c:\\temp\\znd1.tmp"));
}

TEST_F(PathsTest, LauncherTempDirGivesUpAfterTenAttempts) {
    for (int i = 1; i <= 10; ++i)
        sys.fs.failingDirectories.insert("c:\\temp\\znd" + std::to_string(i) + ".tmp_dir1700000000");
    l.store.setProperty(prop::errorInternal, "Internal error {0}.");
    l.errorDisplayMode = false;
    EXPECT_THROW(createLauncherTempDir(l), FakeExit);
    EXPECT_EQ(sys.ui.stderrText, "Internal error 7.\n");
    EXPECT_TRUE(l.launcherTempDir.empty());
    for (const std::string& path : sys.fs.allPaths()) EXPECT_FALSE(path.ends_with(".tmp")) << path;
}

TEST_F(PathsTest, EmptyDirectoryReachesTwoLevels) {
    sys.fs.addFile("c:\\t\\a.txt", "a");
    sys.fs.addFile("c:\\t\\sub\\b.txt", "b");
    sys.fs.addFile("c:\\t\\sub\\deep\\c.txt", "c");
    sys.fs.addDirectory("c:\\t\\sub2\\emptydeep");
    emptyDirectory(l, "c:\\t", true);
    EXPECT_FALSE(sys.fs.exists("c:\\t\\a.txt"));
    EXPECT_FALSE(sys.fs.exists("c:\\t\\sub\\b.txt"));
    EXPECT_TRUE(sys.fs.exists("c:\\t\\sub\\deep\\c.txt"));
    EXPECT_FALSE(sys.fs.exists("c:\\t\\sub2\\emptydeep"));
    EXPECT_FALSE(sys.fs.exists("c:\\t\\sub2"));
}

TEST_F(PathsTest, EmptyDirectoryWithoutRecursionKeepsNonEmptySubdirectories) {
    sys.fs.addFile("c:\\t\\a.txt", "a");
    sys.fs.addFile("c:\\t\\sub\\b.txt", "b");
    sys.fs.addDirectory("c:\\t\\empty");
    emptyDirectory(l, "c:\\t\\", false);
    EXPECT_FALSE(sys.fs.exists("c:\\t\\a.txt"));
    EXPECT_TRUE(sys.fs.exists("c:\\t\\sub\\b.txt"));
    EXPECT_FALSE(sys.fs.exists("c:\\t\\empty"));
}

TEST_F(PathsTest, EmptyDirectoryIgnoresEmptyAndDotPaths) {
    sys.fs.addFile("c:\\work\\x\\a.txt", "a");
    emptyDirectory(l, ".\\x", true);
    emptyDirectory(l, "", true);
    EXPECT_TRUE(sys.fs.exists("c:\\work\\x\\a.txt"));
}

}  // namespace
}  // namespace zendra
