// The launcher's path services and clean-up against Wine's real file system.
#include <gtest/gtest.h>

#include "errors.h"
#include "launcher.h"
#include "paths.h"
#include "test_directory.h"
#include "win32.h"
#include "win_platform.h"

namespace zendra::win {
namespace {

using test::TestDirectory;
using test::writeRawFile;

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class CleanupTest : public ::testing::Test {
protected:
    WinPlatform system;
    Launcher l{system.platform(), LauncherKind::App};
    TestDirectory dir;
};

TEST_F(CleanupTest, EmptyDirectoryReachesTwoLevelsAndKeepsDeeperFiles) {
    const std::string root = dir.file("run");
    for (const char* d : {"run", "run\\lib", "run\\lib\\deep", "run\\empty", "run\\empty\\deeper"})
        ASSERT_TRUE(CreateDirectoryA(dir.file(d).c_str(), nullptr)) << d;
    writeRawFile(dir.file("run\\a.dll"), "a");
    writeRawFile(dir.file("run\\lib\\b.jar"), "b");
    writeRawFile(dir.file("run\\lib\\deep\\c.txt"), "c");

    emptyDirectory(l, root, true);
    EXPECT_FALSE(exists(dir.file("run\\a.dll")));
    EXPECT_FALSE(exists(dir.file("run\\lib\\b.jar")));
    EXPECT_TRUE(exists(dir.file("run\\lib\\deep\\c.txt")));
    EXPECT_TRUE(exists(dir.file("run\\lib")));
    EXPECT_FALSE(exists(dir.file("run\\empty")));
}

TEST_F(CleanupTest, EmptyDirectoryWithoutRecursionLeavesSubdirectoryFiles) {
    ASSERT_TRUE(CreateDirectoryA(dir.file("flat").c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryA(dir.file("flat\\sub").c_str(), nullptr));
    writeRawFile(dir.file("flat\\x.txt"), "x");
    writeRawFile(dir.file("flat\\sub\\y.txt"), "y");
    emptyDirectory(l, dir.file("flat") + "\\", false);
    EXPECT_FALSE(exists(dir.file("flat\\x.txt")));
    EXPECT_TRUE(exists(dir.file("flat\\sub\\y.txt")));
}

TEST_F(CleanupTest, LauncherTempDirIsCreatedUnderTheSystemTempPath) {
    createLauncherTempDir(l);
    ASSERT_FALSE(l.launcherTempDir.empty());
    EXPECT_TRUE(exists(l.launcherTempDir));
    const std::string temp = getTempDirectory(l);
    EXPECT_EQ(temp.back(), '\\');
    EXPECT_EQ(l.launcherTempDir.rfind(temp + "znd", 0), 0u) << l.launcherTempDir;
    EXPECT_NE(l.launcherTempDir.find(".tmp_dir"), std::string::npos);
    writeRawFile(l.launcherTempDir + "\\f.txt", "f");
    emptyDirectory(l, l.launcherTempDir, true);
    EXPECT_TRUE(RemoveDirectoryA(l.launcherTempDir.c_str()));
    const std::string tempFile = l.launcherTempDir.substr(0, l.launcherTempDir.find("_dir"));
    DeleteFileA(tempFile.c_str());
}

TEST_F(CleanupTest, ExecutablePathAndDirectoryOfTheRunningProgram) {
    const std::string& exe = getExecutablePath(l);
    EXPECT_GE(exe.size(), 4u);
    EXPECT_EQ(exe.substr(exe.size() - 4), ".exe");
    EXPECT_TRUE(exists(exe));
    const std::string& directory = getExecutableDirectory(l);
    EXPECT_EQ(directory.back(), '\\');
    EXPECT_EQ(exe.substr(0, directory.size()), directory);
    EXPECT_TRUE(pathExists(l, "c:\\"));
    EXPECT_TRUE(pathExists(l, directory.substr(0, directory.size() - 1)));
}

}  // namespace
}  // namespace zendra::win
