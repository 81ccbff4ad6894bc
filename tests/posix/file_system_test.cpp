#include <fcntl.h>
#include <sys/stat.h>

#include <gtest/gtest.h>

#include <set>

#include "posix_file_system.h"
#include "posix_paths.h"
#include "posix_test_support.h"

namespace zendra::posix {
namespace {

using test::ScopedEnv;
using test::TempDir;
using test::readFile;
using test::writeFile;

std::vector<std::string> names(const std::vector<FileEntry>& entries) {
    std::vector<std::string> out;
    for (const auto& entry : entries) out.push_back(entry.name);
    return out;
}

class FileSystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(dir.path().empty());
        for (const char* name : {"b.jar", "a.jar", "A.JAR", "readme", ".hidden", "c.jar.txt", "x1.jar", "x22.jar"})
            writeFile(dir / name, "");
        ASSERT_EQ(::mkdir((dir / "sub.jar").c_str(), 0755), 0);
    }
    TempDir dir;
    PosixFileSystem fs;
};

TEST_F(FileSystemTest, StarDotStarListsEveryNameSortedWithoutDotEntries) {
    EXPECT_EQ(names(fs.list(dir / "*.*")), (std::vector<std::string>{".hidden", "A.JAR", "a.jar", "b.jar", "c.jar.txt",
                                                                     "readme", "sub.jar", "x1.jar", "x22.jar"}));
    EXPECT_EQ(names(fs.list(dir / "*")), names(fs.list(dir / "*.*")));
}

TEST_F(FileSystemTest, WildcardsMatchCaseSensitivelyWithStarAndQuestionMark) {
    EXPECT_EQ(names(fs.list(dir / "*.jar")), (std::vector<std::string>{"a.jar", "b.jar", "sub.jar", "x1.jar", "x22.jar"}));
    EXPECT_EQ(names(fs.list(dir / "x?.jar")), (std::vector<std::string>{"x1.jar"}));
    EXPECT_EQ(names(fs.list(dir / "readme")), (std::vector<std::string>{"readme"}));
    EXPECT_TRUE(fs.list(dir / "*.zip").empty());
    EXPECT_TRUE(fs.list(dir / "missing/*.*").empty());
}

TEST_F(FileSystemTest, EntriesTellDirectoriesAndNeverFollowLinksToDirectories) {
    ASSERT_EQ(::symlink((dir / "sub.jar").c_str(), (dir / "link.jar").c_str()), 0);
    for (const auto& entry : fs.list(dir / "*.jar")) {
        EXPECT_EQ(entry.isDirectory, entry.name == "sub.jar") << entry.name;
        EXPECT_GT(entry.lastWriteTime, 0u);
    }
    auto link = fs.find(dir / "link.jar");
    ASSERT_TRUE(link);
    EXPECT_FALSE(link->isDirectory);
}

TEST_F(FileSystemTest, FindReportsNameDirectoryFlagAndWriteTimeInFileTimeUnits) {
    timespec times[2] = {{1700000000, 0}, {1700000000, 123456700}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "readme").c_str(), times, 0), 0);
    auto entry = fs.find(dir / "readme");
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->name, "readme");
    EXPECT_FALSE(entry->isDirectory);
    EXPECT_EQ(entry->lastWriteTime, (1700000000ull + 11644473600ull) * 10000000ull + 1234567ull);
    auto sub = fs.find(dir / "sub.jar");
    ASSERT_TRUE(sub);
    EXPECT_TRUE(sub->isDirectory);
    EXPECT_FALSE(fs.find(dir / "nothing"));
}

TEST_F(FileSystemTest, FindTakesTheLaterTimeOfALinkAndItsTarget) {
    timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "readme").c_str(), old, 0), 0);
    ASSERT_EQ(::symlink((dir / "readme").c_str(), (dir / "link").c_str()), 0);
    const auto before = fs.find(dir / "link")->lastWriteTime;
    timespec later[2] = {{2000000000, 0}, {2000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "readme").c_str(), later, 0), 0);
    EXPECT_EQ(fs.find(dir / "link")->lastWriteTime, (2000000000ull + 11644473600ull) * 10000000ull);
    EXPECT_NE(before, fs.find(dir / "link")->lastWriteTime);
}

TEST(FullPathName, ResolvesDotsLexicallyAgainstTheCurrentDirectory) {
    TempDir dir;
    PosixFileSystem fs;
    const std::string old = std::filesystem::current_path();
    ASSERT_TRUE(fs.setCurrentDirectory(dir.path()));
    const std::string cwd = std::filesystem::current_path();
    EXPECT_EQ(fs.fullPathName("a/./b/../c"), cwd + "/a/c");
    EXPECT_EQ(fs.fullPathName("missing/dir/"), cwd + "/missing/dir/");
    EXPECT_EQ(fs.fullPathName("/x//y/../../../z"), "/z");
    EXPECT_EQ(fs.fullPathName("/"), "/");
    EXPECT_EQ(fs.fullPathName(".."), std::filesystem::path(cwd).parent_path().string());
    EXPECT_FALSE(fs.fullPathName(""));
    ASSERT_TRUE(fs.setCurrentDirectory(old));
}

TEST_F(FileSystemTest, TempFileNamesAreNewUniqueEmptyFiles) {
    std::set<std::string> seen;
    for (int i = 0; i < 20; ++i) {
        std::uint32_t error = 99;
        auto name = fs.tempFileName(dir.path(), "znd", error);
        ASSERT_TRUE(name);
        EXPECT_EQ(error, 0u);
        EXPECT_EQ(name->rfind(dir / "znd", 0), 0u) << *name;
        EXPECT_TRUE(seen.insert(*name).second);
        EXPECT_EQ(std::filesystem::file_size(*name), 0u);
    }
    std::uint32_t error = 0;
    EXPECT_FALSE(fs.tempFileName(dir / "missing", "znd", error));
    EXPECT_EQ(error, static_cast<std::uint32_t>(ENOENT));
}

TEST_F(FileSystemTest, TempPathIsTmpdirWhenItIsADirectoryElseTmp) {
    {
        ScopedEnv tmp("TMPDIR", dir.path());
        EXPECT_EQ(fs.tempPath().path, dir.path() + "/");
        EXPECT_EQ(fs.tempPath().length, dir.path().size() + 1);
    }
    ScopedEnv tmp("TMPDIR", dir / "missing");
    EXPECT_EQ(fs.tempPath().path, "/tmp/");
}

TEST_F(FileSystemTest, SearchPathFindsTheFirstExecutableFileAlongPath) {
    for (const char* sub : {"one", "two", "three"}) ASSERT_EQ(::mkdir((dir / sub).c_str(), 0755), 0);
    writeFile(dir / "one/tool", "not executable");
    ASSERT_EQ(::mkdir((dir / "two/tool").c_str(), 0755), 0);  // a directory is no program
    writeFile(dir / "three/tool", "#!/bin/sh\n");
    ASSERT_EQ(::chmod((dir / "three/tool").c_str(), 0755), 0);
    ScopedEnv path("PATH", dir / "one:" + dir / "two:" + dir / "three");
    EXPECT_EQ(fs.searchPath("tool"), dir / "three/tool");
    EXPECT_FALSE(fs.searchPath("other"));

    // An empty element is the current directory.
    const std::string old = std::filesystem::current_path();
    ASSERT_TRUE(fs.setCurrentDirectory(dir / "three"));
    ScopedEnv relative("PATH", "/nonexistent::/also-not");
    EXPECT_EQ(fs.searchPath("tool"), std::filesystem::current_path().string() + "/tool");
    ASSERT_TRUE(fs.setCurrentDirectory(old));
}

TEST_F(FileSystemTest, SearchPathResolvesLinksToTheRealProgram) {
    // Like /usr/bin/java -> /etc/alternatives/java -> /usr/lib/jvm/<runtime>/bin/java.
    for (const char* sub : {"bin", "alternatives", "jdk", "jdk/bin"}) ASSERT_EQ(::mkdir((dir / sub).c_str(), 0755), 0);
    writeFile(dir / "jdk/bin/java", "#!/bin/sh\n");
    ASSERT_EQ(::chmod((dir / "jdk/bin/java").c_str(), 0755), 0);
    ASSERT_EQ(::symlink((dir / "jdk/bin/java").c_str(), (dir / "alternatives/java").c_str()), 0);
    ASSERT_EQ(::symlink("../alternatives/java", (dir / "bin/java").c_str()), 0);
    ScopedEnv path("PATH", dir / "bin");
    const std::string real = std::filesystem::canonical(dir / "jdk/bin/java").string();
    EXPECT_EQ(fs.searchPath("java"), real);
    EXPECT_EQ(fs.searchPath(dir / "bin/java"), real);
}

TEST_F(FileSystemTest, FilesReadWriteAppendAndRefuseDirectories) {
    std::uint32_t error = 0;
    {
        auto file = fs.createWrite(dir / "out", error);
        ASSERT_TRUE(file);
        EXPECT_EQ(file->write("hello\n", 6).bytes, 6u);
    }
    {
        auto file = fs.openAppend(dir / "out", error);
        ASSERT_TRUE(file);
        EXPECT_EQ(file->write("more\n", 5).bytes, 5u);
    }
    EXPECT_EQ(readFile(dir / "out"), "hello\nmore\n");
    auto file = fs.openRead(dir / "out", error);
    ASSERT_TRUE(file);
    EXPECT_EQ(file->size(), 11u);
    ASSERT_TRUE(file->seek(6));
    char buffer[16] = {};
    EXPECT_EQ(file->read(buffer, sizeof(buffer)).bytes, 5u);
    EXPECT_EQ(std::string(buffer), "more\n");
    EXPECT_EQ(file->position(), 11u);

    EXPECT_FALSE(fs.openRead(dir / "sub.jar", error));
    EXPECT_EQ(error, static_cast<std::uint32_t>(EISDIR));
    EXPECT_FALSE(fs.openRead(dir / "missing", error));
    EXPECT_EQ(error, static_cast<std::uint32_t>(ENOENT));
}

TEST_F(FileSystemTest, DirectoriesAreCreatedRemovedAndReportErrno) {
    std::uint32_t error = 0;
    EXPECT_TRUE(fs.createDirectory(dir / "new", error));
    EXPECT_FALSE(fs.createDirectory(dir / "new", error));
    EXPECT_EQ(error, kErrorAlreadyExists);
    EXPECT_FALSE(fs.createDirectory(dir / "missing/new", error));
    EXPECT_EQ(error, static_cast<std::uint32_t>(ENOENT));
    EXPECT_TRUE(fs.removeDirectory(dir / "new"));
    EXPECT_TRUE(fs.deleteFile(dir / "readme"));
    EXPECT_FALSE(fs.deleteFile(dir / "readme"));
    EXPECT_EQ(fs.longPathName(dir / "a.jar"), dir / "a.jar");
    EXPECT_EQ(fs.shortPathName(dir / "a.jar"), dir / "a.jar");
    EXPECT_FALSE(fs.shortPathName(dir / "readme"));
}

// Another user's id for files the tests hand over to someone else (nobody).
constexpr uid_t kOtherUser = 65534;

TEST_F(FileSystemTest, PrivateDirectoryIsTheUsersOwnOrNone) {
    struct Case {
        const char* name;
        void (*plant)(const std::string& path);
        std::uint32_t error;
    };
    const Case cases[] = {
        {"missing", [](const std::string&) {}, 0},
        {"too open",
         [](const std::string& p) {
             ASSERT_EQ(::mkdir(p.c_str(), 0700), 0);
             ASSERT_EQ(::chmod(p.c_str(), 0777), 0);
         },
         0},
        {"another user's",
         [](const std::string& p) {
             ASSERT_EQ(::mkdir(p.c_str(), 0700), 0);
             ASSERT_EQ(::chown(p.c_str(), kOtherUser, kOtherUser), 0);
         },
         EACCES},
        {"a link",
         [](const std::string& p) {
             ASSERT_EQ(::mkdir((p + "-target").c_str(), 0700), 0);
             ASSERT_EQ(::symlink((p + "-target").c_str(), p.c_str()), 0);
         },
         ENOTDIR},
        {"a file", [](const std::string& p) { writeFile(p, ""); }, ENOTDIR},
    };
    for (const Case& c : cases) {
        const std::string path = dir / (std::string("private ") + c.name);
        c.plant(path);
        PosixFileSystem own(path);
        std::uint32_t error = 99;
        const std::optional<std::string> got = own.privateDirectory(error);
        EXPECT_EQ(error, c.error) << c.name;
        EXPECT_EQ(got.has_value(), c.error == 0) << c.name;
        struct stat info {};
        if (c.error == 0 && ::lstat(path.c_str(), &info) == 0) EXPECT_EQ(info.st_mode & 07777, 0700u) << c.name;
    }
}

TEST_F(FileSystemTest, RuntimeDirectoryIsTrustedOnlyWhenOwnAndClosedToOthers) {
    const std::string fallback = "/tmp/zendra-" + std::to_string(::geteuid());
    ASSERT_EQ(::mkdir((dir / "own").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir((dir / "shared").c_str(), 0700), 0);
    ASSERT_EQ(::chmod((dir / "shared").c_str(), 01777), 0);
    ASSERT_EQ(::mkdir((dir / "foreign").c_str(), 0700), 0);
    ASSERT_EQ(::chown((dir / "foreign").c_str(), kOtherUser, kOtherUser), 0);
    const std::pair<std::optional<std::string>, std::string> cases[] = {
        {dir / "own", dir / "own/zendra"}, {dir / "shared", fallback}, {dir / "foreign", fallback},
        {"relative", fallback},            {std::nullopt, fallback},
    };
    for (const auto& [runtime, expected] : cases) {
        ScopedEnv set("XDG_RUNTIME_DIR", runtime);
        EXPECT_EQ(userRuntimeDirectory(), expected) << runtime.value_or("(unset)");
    }
}

TEST(Wildcards, FollowWindowsStarAndQuestionMarkRules) {
    EXPECT_TRUE(matchesWildcard("*.*", "noextension"));
    EXPECT_TRUE(matchesWildcard("a*b*c", "aXbYbZc"));
    EXPECT_FALSE(matchesWildcard("a*b*c", "aXbYbZ"));
    EXPECT_TRUE(matchesWildcard("??", "ab"));
    EXPECT_FALSE(matchesWildcard("??", "abc"));
    EXPECT_TRUE(matchesWildcard("[a].jar", "[a].jar"));  // brackets are plain characters
    EXPECT_FALSE(matchesWildcard("[a].jar", "a.jar"));
    EXPECT_TRUE(matchesWildcard("*", ""));
}

}  // namespace
}  // namespace zendra::posix
