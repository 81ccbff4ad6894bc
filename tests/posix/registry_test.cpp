#include <sys/stat.h>

#include <gtest/gtest.h>

#include "posix_registry.h"
#include "posix_test_support.h"

namespace zendra::posix {
namespace {

using test::TempDir;
using test::readFile;
using test::writeFile;

std::vector<std::uint8_t> bytes(const std::string& text) { return {text.begin(), text.end()}; }

const std::string kKey = "SOFTWARE\\orvane-labs\\zendra\\versions";

class RegistryTest : public ::testing::Test {
protected:
    TempDir dir;
    StoreDirectories directories{dir / "state/zendra", dir / "machine"};
    PosixRegistry registry{directories};
    std::string userStore() const { return directories.user + "/user-store"; }
};

TEST_F(RegistryTest, ValuesKeepTypeAndBytesAcrossInstances) {
    const std::vector<std::uint8_t> binary{0, 1, 0xFF, '\n', '%', 0x80};
    ASSERT_TRUE(registry.setValue(Hive::CurrentUser, kKey, "LastWriteTime", RegType::Binary, binary));
    ASSERT_TRUE(registry.setValue(Hive::CurrentUser, kKey, "Version", RegType::String, bytes("17.0.2 =%[x]\r\n\t")));
    ASSERT_TRUE(registry.setValue(Hive::CurrentUser, kKey, "/home/u/app=1 [#]", RegType::Dword, {1, 2, 3, 4}));
    ASSERT_TRUE(registry.setValue(Hive::CurrentUser, kKey, "", RegType::String, {}));

    PosixRegistry other(directories);
    auto time = other.queryValue(Hive::CurrentUser, kKey, "LastWriteTime");
    ASSERT_TRUE(time);
    EXPECT_EQ(time->type, 3u);
    EXPECT_EQ(time->data, binary);
    EXPECT_EQ(other.queryValue(Hive::CurrentUser, kKey, "Version")->data, bytes("17.0.2 =%[x]\r\n\t"));
    auto pid = other.queryValue(Hive::CurrentUser, kKey, "/home/u/app=1 [#]");
    ASSERT_TRUE(pid);
    EXPECT_EQ(pid->type, 4u);
    EXPECT_EQ(pid->data, (std::vector<std::uint8_t>{1, 2, 3, 4}));
    EXPECT_EQ(other.valueNames(Hive::CurrentUser, kKey),
              (std::vector<std::string>{"LastWriteTime", "Version", "/home/u/app=1 [#]", ""}));
    EXPECT_FALSE(other.queryValue(Hive::CurrentUser, kKey, "missing"));
    EXPECT_FALSE(other.queryValue(Hive::LocalMachine, kKey, "Version"));
}

TEST_F(RegistryTest, KeysAndValueNamesCompareWithoutCase) {
    ASSERT_TRUE(registry.setValue(Hive::CurrentUser, kKey, "Version", RegType::String, bytes("1")));
    ASSERT_TRUE(registry.setValue(Hive::CurrentUser, "software\\ORVANE-LABS\\Zendra\\VERSIONS", "VERSION",
                                  RegType::String, bytes("2")));
    EXPECT_EQ(registry.valueNames(Hive::CurrentUser, kKey), std::vector<std::string>{"Version"});
    EXPECT_EQ(registry.queryValue(Hive::CurrentUser, "SOFTWARE\\orvane-labs\\zendra\\versions\\", "version")->data,
              bytes("2"));
    EXPECT_TRUE(registry.keyExists(Hive::CurrentUser, "software\\orvane-labs"));
    EXPECT_TRUE(registry.deleteValue(Hive::CurrentUser, kKey, "vErSiOn"));
    EXPECT_FALSE(registry.deleteValue(Hive::CurrentUser, kKey, "Version"));
    EXPECT_TRUE(registry.keyExists(Hive::CurrentUser, kKey));  // a created key stays without values
    EXPECT_EQ(registry.valueNames(Hive::CurrentUser, kKey), std::vector<std::string>{});
}

TEST_F(RegistryTest, SubKeysListDirectChildrenInNameOrderWithWriteTimes) {
    const std::string located = "SOFTWARE\\orvane-labs\\zendra\\located";
    EXPECT_FALSE(registry.subKeys(Hive::CurrentUser, located));
    // Siblings whose names sort between "located" and its children must not hide them.
    ASSERT_TRUE(registry.createKey(Hive::CurrentUser, located + "-old\\x"));
    ASSERT_TRUE(registry.createKey(Hive::CurrentUser, located + " 2"));
    ASSERT_TRUE(registry.createKey(Hive::CurrentUser, located + "\\/usr/lib/jvm/b/bin/java"));
    ASSERT_TRUE(registry.createKey(Hive::CurrentUser, located + "\\/opt/A/bin/java"));
    ASSERT_TRUE(registry.setValue(Hive::CurrentUser, located + "\\c\\deeper", "x", RegType::Dword, {0, 0, 0, 0}));
    auto children = registry.subKeys(Hive::CurrentUser, located);
    ASSERT_TRUE(children);
    ASSERT_EQ(children->size(), 3u);
    EXPECT_EQ((*children)[0].name, "/opt/A/bin/java");
    EXPECT_EQ((*children)[1].name, "/usr/lib/jvm/b/bin/java");
    EXPECT_EQ((*children)[2].name, "c");
    // FILETIME units of the present: after 2020 and before 2100.
    for (const auto& child : *children) {
        EXPECT_GT(child.lastWriteTime, 132223104000000000ull) << child.name;
        EXPECT_LT(child.lastWriteTime, 157766400000000000ull) << child.name;
    }
    EXPECT_EQ(registry.subKeys(Hive::CurrentUser, "SOFTWARE\\orvane-labs")->size(), 1u);
    EXPECT_EQ(registry.subKeys(Hive::CurrentUser, "SOFTWARE\\orvane-labs\\zendra")->size(), 3u);
    EXPECT_TRUE(registry.keyExists(Hive::CurrentUser, ""));
    EXPECT_FALSE(registry.keyExists(Hive::CurrentUser, located + "\\nothing"));
}

TEST_F(RegistryTest, TheStoreIsReadableTextInAPrivateDirectory) {
    ASSERT_TRUE(registry.setValue(Hive::CurrentUser, kKey, "Version", RegType::String, bytes("17.0.2")));
    const std::string text = readFile(userStore());
    EXPECT_EQ(text.rfind("zendra-store 1\n", 0), 0u) << text;
    EXPECT_NE(text.find("[SOFTWARE\\orvane-labs\\zendra\\versions] "), std::string::npos) << text;
    EXPECT_NE(text.find("\nVersion=string:17.0.2\n"), std::string::npos) << text;
    struct stat info {};
    ASSERT_EQ(::stat(directories.user.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);
    ASSERT_EQ(::stat(userStore().c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}

TEST_F(RegistryTest, ADamagedStoreReadsAsEmptyAndIsSetAsideOnTheNextWrite) {
    ASSERT_TRUE(registry.setValue(Hive::CurrentUser, kKey, "Version", RegType::String, bytes("17")));
    for (const std::string& damage : {std::string("garbage\n"), std::string("zendra-store 1\nVersion=string:17\n"),
                                     std::string("zendra-store 1\n[a] 1\nx=binary:abc\n"),
                                     std::string("zendra-store 1\n[a] 1\nx=string:%zz\n"),
                                     std::string("zendra-store 1\n[a] 99999999999999999999999\n"),
                                     std::string("zendra-store 1\n[a\n"), std::string("\0\0\0", 3)}) {
        writeFile(userStore(), damage);
        EXPECT_FALSE(registry.keyExists(Hive::CurrentUser, kKey)) << damage;
        EXPECT_FALSE(registry.queryValue(Hive::CurrentUser, kKey, "Version")) << damage;
        EXPECT_EQ(registry.subKeys(Hive::CurrentUser, "")->size(), 0u) << damage;
    }
    ASSERT_TRUE(registry.setValue(Hive::CurrentUser, kKey, "Version", RegType::String, bytes("18")));
    EXPECT_EQ(registry.queryValue(Hive::CurrentUser, kKey, "Version")->data, bytes("18"));
    EXPECT_EQ(readFile(userStore() + ".damaged"), std::string("\0\0\0", 3));
}

TEST_F(RegistryTest, TwoProcessesWritingAtOnceKeepEveryValue) {
    constexpr int kWrites = 40;
    auto writer = [&](const std::string& prefix) {
        PosixRegistry own(directories);
        for (int i = 0; i < kWrites; ++i) {
            const std::uint32_t id = static_cast<std::uint32_t>(i);
            if (!own.setValue(Hive::CurrentUser, kKey, prefix + std::to_string(i), RegType::Dword,
                              {static_cast<std::uint8_t>(id), 0, 0, 0}))
                return 1;
        }
        return 0;
    };
    const pid_t first = ::fork();
    ASSERT_GE(first, 0);
    if (first == 0) ::_exit(writer("first-"));
    const int second = writer("second-");
    int status = 0;
    ASSERT_EQ(::waitpid(first, &status, 0), first);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    EXPECT_EQ(second, 0);
    auto valueNames = registry.valueNames(Hive::CurrentUser, kKey);
    ASSERT_TRUE(valueNames);
    EXPECT_EQ(valueNames->size(), 2u * kWrites);
    for (int i = 0; i < kWrites; ++i) {
        EXPECT_TRUE(registry.queryValue(Hive::CurrentUser, kKey, "first-" + std::to_string(i))) << i;
        EXPECT_TRUE(registry.queryValue(Hive::CurrentUser, kKey, "second-" + std::to_string(i))) << i;
    }
}

TEST_F(RegistryTest, AnUnwritableMachineStoreFailsWritesButStillReads) {
    ASSERT_EQ(::mkdir(directories.machine.c_str(), 0755), 0);
    writeFile(directories.machine + "/machine-store", "zendra-store 1\n[SOFTWARE\\JavaSoft] 5\nCurrentVersion=string:17\n");
    // A lock file that cannot be opened for writing, as for a user without rights (even root).
    ASSERT_EQ(::mkdir((directories.machine + "/machine-store.lock").c_str(), 0755), 0);
    EXPECT_FALSE(registry.setValue(Hive::LocalMachine, "SOFTWARE\\x", "v", RegType::String, bytes("1")));
    EXPECT_FALSE(registry.createKey(Hive::LocalMachine, "SOFTWARE\\x"));
    EXPECT_TRUE(registry.createKey(Hive::LocalMachine, "software\\javasoft"));  // exists: nothing to write
    EXPECT_EQ(registry.queryValue(Hive::LocalMachine, "SOFTWARE\\JavaSoft", "CurrentVersion")->data, bytes("17"));
    EXPECT_EQ(registry.subKeys(Hive::LocalMachine, "SOFTWARE")->at(0).lastWriteTime, 5u);
}

}  // namespace
}  // namespace zendra::posix
