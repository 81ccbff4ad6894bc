// The Win32 file system services against Wine's real file system.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "test_directory.h"
#include "win32.h"
#include "win_clock.h"
#include "win_file_system.h"

namespace zendra::win {
namespace {

using test::readRawFile;
using test::TestDirectory;
using test::writeRawFile;

class FileSystemTest : public ::testing::Test {
protected:
    // Reads everything from the current position of file.
    static std::string readAll(File& file) {
        std::string content;
        char buffer[3];
        for (IoResult got = file.read(buffer, sizeof buffer); got.ok && got.bytes > 0;
             got = file.read(buffer, sizeof buffer)) {
            content.append(buffer, got.bytes);
        }
        return content;
    }

    WinFileSystem fs;
    TestDirectory dir;
    std::uint32_t error = 12345;
};

TEST_F(FileSystemTest, WriteThenReadSeekAndSize) {
    auto out = fs.createWrite(dir.file("data.bin"), error);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(error, 0u);
    const std::string bytes("0123456789\n\0x", 13);
    const IoResult written = out->write(bytes.data(), bytes.size());
    EXPECT_TRUE(written.ok);
    EXPECT_EQ(written.bytes, bytes.size());
    EXPECT_EQ(out->position(), 13u);
    EXPECT_EQ(out->size(), std::optional<std::uint64_t>(13));
    out.reset();
    EXPECT_EQ(readRawFile(dir.file("data.bin")), bytes);  // binary: no CR added

    auto in = fs.openRead(dir.file("data.bin"), error);
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(readAll(*in), bytes);
    ASSERT_TRUE(in->seek(4));
    char three[3];
    const IoResult got = in->read(three, 3);
    EXPECT_EQ(std::string(three, got.bytes), "456");
    EXPECT_EQ(in->position(), 7u);
}

TEST_F(FileSystemTest, CreateWriteTruncatesAndIsNotShared) {
    writeRawFile(dir.file("f.txt"), "old content");
    auto out = fs.createWrite(dir.file("f.txt"), error);
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->size(), std::optional<std::uint64_t>(0));
    EXPECT_EQ(fs.openRead(dir.file("f.txt"), error), nullptr);
    EXPECT_EQ(error, static_cast<std::uint32_t>(ERROR_SHARING_VIOLATION));
}

TEST_F(FileSystemTest, OpenReadSharesReadingAndWriting) {
    writeRawFile(dir.file("f.txt"), "abc");
    auto first = fs.openRead(dir.file("f.txt"), error);
    auto second = fs.openRead(dir.file("f.txt"), error);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    auto appender = fs.openAppend(dir.file("f.txt"), error);
    EXPECT_NE(appender, nullptr);
}

TEST_F(FileSystemTest, OpenReadOfMissingFileReportsError) {
    EXPECT_EQ(fs.openRead(dir.file("missing.txt"), error), nullptr);
    EXPECT_EQ(error, static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
    EXPECT_EQ(fs.createWrite(dir.file("no\\such\\dir.txt"), error), nullptr);
    EXPECT_EQ(error, static_cast<std::uint32_t>(ERROR_PATH_NOT_FOUND));
}

TEST_F(FileSystemTest, AppendWritesLineEndsAsCrLfAtTheEnd) {
    const std::string path = dir.file("log.txt");
    auto log = fs.openAppend(path, error);
    ASSERT_NE(log, nullptr);
    const std::string line = "first line\n";
    EXPECT_EQ(log->write(line.data(), line.size()).bytes, line.size());
    log.reset();

    log = fs.openAppend(path, error);
    ASSERT_NE(log, nullptr);
    ASSERT_TRUE(log->seek(0));  // append mode ignores the position
    const std::string more = "\nsecond\n";
    const IoResult written = log->write(more.data(), more.size());
    EXPECT_TRUE(written.ok);
    EXPECT_EQ(written.bytes, more.size());
    log.reset();
    EXPECT_EQ(readRawFile(path), "first line\r\n\r\nsecond\r\n");
}

TEST_F(FileSystemTest, FindReportsNameKindAndWriteTime) {
    writeRawFile(dir.file("Found.TXT"), "x");
    const auto file = fs.find(dir.file("found.txt"));
    ASSERT_TRUE(file.has_value());
    EXPECT_EQ(file->name, "Found.TXT");
    EXPECT_FALSE(file->isDirectory);
    // FILETIME counts 100 ns from 1601; the Unix epoch is 11644473600 s later.
    const std::int64_t written = static_cast<std::int64_t>(file->lastWriteTime / 10000000u) - 11644473600;
    EXPECT_NEAR(static_cast<double>(written), static_cast<double>(WinClock().now()), 120.0);

    const auto directory = fs.find(dir.path());
    ASSERT_TRUE(directory.has_value());
    EXPECT_TRUE(directory->isDirectory);
    EXPECT_FALSE(fs.find(dir.file("missing.txt")).has_value());
    EXPECT_FALSE(fs.find(dir.file("missing\\deeper.txt")).has_value());
}

TEST_F(FileSystemTest, ListMatchesPattern) {
    writeRawFile(dir.file("a.jar"), "");
    writeRawFile(dir.file("b.jar"), "");
    writeRawFile(dir.file("c.txt"), "");
    std::uint32_t ignored = 0;
    ASSERT_TRUE(fs.createDirectory(dir.file("d.jar"), ignored));
    std::vector<std::string> names;
    for (const FileEntry& entry : fs.list(dir.file("*.jar"))) names.push_back(entry.name);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a.jar", "b.jar", "d.jar"}));
    EXPECT_TRUE(fs.list(dir.file("*.zip")).empty());
    EXPECT_TRUE(fs.list(dir.file("missing\\*.*")).empty());
}

TEST_F(FileSystemTest, CreateAndRemoveDirectories) {
    const std::string sub = dir.file("sub");
    EXPECT_TRUE(fs.createDirectory(sub, error));
    EXPECT_EQ(error, 0u);
    EXPECT_FALSE(fs.createDirectory(sub, error));
    EXPECT_EQ(error, static_cast<std::uint32_t>(ERROR_ALREADY_EXISTS));
    EXPECT_FALSE(fs.createDirectory(dir.file("x\\y"), error));
    EXPECT_EQ(error, static_cast<std::uint32_t>(ERROR_PATH_NOT_FOUND));

    writeRawFile(sub + "\\f.txt", "x");
    EXPECT_FALSE(fs.removeDirectory(sub));  // not empty
    EXPECT_TRUE(fs.deleteFile(sub + "\\f.txt"));
    EXPECT_FALSE(fs.deleteFile(sub + "\\f.txt"));
    EXPECT_TRUE(fs.removeDirectory(sub));
    EXPECT_FALSE(fs.find(sub).has_value());
}

TEST_F(FileSystemTest, FullPathNameResolvesDots) {
    EXPECT_EQ(fs.fullPathName("C:\\a\\b\\..\\.\\c.txt"), std::optional<std::string>("C:\\a\\c.txt"));
    ASSERT_TRUE(fs.setCurrentDirectory(dir.path()));
    EXPECT_EQ(fs.fullPathName("sub\\..\\f.txt"), std::optional<std::string>(dir.file("f.txt")));
    EXPECT_FALSE(fs.setCurrentDirectory(dir.file("missing")));
}

TEST_F(FileSystemTest, LongAndShortPathNames) {
    const std::string longDir = dir.file("A rather long directory name");
    ASSERT_TRUE(fs.createDirectory(longDir, error));
    writeRawFile(longDir + "\\some file.text", "x");
    const auto shortPath = fs.shortPathName(longDir + "\\some file.text");
    ASSERT_TRUE(shortPath.has_value());
    EXPECT_EQ(shortPath->find(' '), std::string::npos) << *shortPath;
    EXPECT_EQ(fs.longPathName(*shortPath), std::optional<std::string>(longDir + "\\some file.text"));
    EXPECT_FALSE(fs.shortPathName(dir.file("missing")).has_value());
    EXPECT_FALSE(fs.longPathName(dir.file("missing")).has_value());
}

TEST_F(FileSystemTest, TempPathIsAnExistingDirectory) {
    const TempPathResult temp = fs.tempPath();
    ASSERT_GT(temp.length, 0u);
    EXPECT_EQ(temp.length, temp.path.size());
    EXPECT_EQ(temp.error, 0u);
    ASSERT_EQ(temp.path.back(), '\\');
    const auto entry = fs.find(temp.path.substr(0, temp.path.size() - 1));
    ASSERT_TRUE(entry.has_value());
    EXPECT_TRUE(entry->isDirectory);
}

TEST_F(FileSystemTest, TempFileNameCreatesUniqueFiles) {
    const auto first = fs.tempFileName(dir.path(), "znd", error);
    const auto second = fs.tempFileName(dir.path(), "znd", error);
    ASSERT_TRUE(first.has_value());
    ASSERT_TRUE(second.has_value());
    EXPECT_NE(*first, *second);
    EXPECT_EQ(first->rfind(dir.file("znd"), 0), 0u) << *first;
    EXPECT_TRUE(fs.find(*first).has_value());
    EXPECT_FALSE(fs.tempFileName(dir.file("missing"), "znd", error).has_value());
    EXPECT_NE(error, 0u);
}

TEST_F(FileSystemTest, WindowsDirectoryExistsWithoutTrailingBackslash) {
    const std::string windows = fs.windowsDirectory();
    ASSERT_FALSE(windows.empty());
    EXPECT_NE(windows.back(), '\\');
    const auto entry = fs.find(windows);
    ASSERT_TRUE(entry.has_value());
    EXPECT_TRUE(entry->isDirectory);
}

// Ends with "\\" + name, ignoring ASCII case.
bool namesFile(const std::string& path, const std::string& name) {
    if (path.size() <= name.size() || path[path.size() - name.size() - 1] != '\\') return false;
    return std::equal(name.begin(), name.end(), path.end() - static_cast<std::ptrdiff_t>(name.size()),
                      [](char a, char b) { return ::tolower(static_cast<unsigned char>(a)) ==
                                                  ::tolower(static_cast<unsigned char>(b)); });
}

TEST_F(FileSystemTest, SearchPathFindsSystemProgramsAsNamed) {
    for (const std::string name : {"cmd.exe", "notepad.exe"}) {
        const auto found = fs.searchPath(name);
        ASSERT_TRUE(found.has_value()) << name;
        EXPECT_TRUE(namesFile(*found, name)) << *found;
        EXPECT_TRUE(fs.find(*found).has_value()) << *found;
    }
    EXPECT_FALSE(fs.searchPath("zendra-no-such-program.exe").has_value());
    // No extension is added to the name.
    EXPECT_FALSE(fs.searchPath("cmd").has_value());
}

TEST_F(FileSystemTest, SearchPathLooksThroughPath) {
    // (Wine's search finds nothing in directories deeper than MAX_PATH, so the buffer's
    // growth cannot be shown here.)
    const std::string bin = dir.file(std::string(120, 'b'));
    ASSERT_TRUE(::CreateDirectoryA(bin.c_str(), nullptr));
    writeRawFile(bin + "\\zendra-probe.exe", "MZ");
    char oldPath[32768] = {};
    const DWORD oldLength = ::GetEnvironmentVariableA("PATH", oldPath, sizeof oldPath);
    ASSERT_TRUE(oldLength > 0 && oldLength < sizeof oldPath);
    ASSERT_TRUE(::SetEnvironmentVariableA("PATH", (dir.path() + ";" + bin + ";" + oldPath).c_str()));
    const auto found = fs.searchPath("zendra-probe.exe");
    ::SetEnvironmentVariableA("PATH", oldPath);
    EXPECT_EQ(found, std::optional<std::string>(bin + "\\zendra-probe.exe"));
}

}  // namespace
}  // namespace zendra::win
