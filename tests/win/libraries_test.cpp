// Loading libraries: a system DLL, the jvm.dll doubles, and the failures a launcher must tell apart.
#include <gtest/gtest.h>

#include "test_directory.h"
#include "test_doubles.h"
#include "win32.h"
#include "win_libraries.h"

namespace zendra::win {
namespace {

using CreateJavaVmFn = long(__stdcall*)(void**, void**, void*);

class LibrariesTest : public ::testing::Test {
protected:
    // The path of a double, failing the test when CTest did not name it.
    static std::string requireDouble(const char* variable) {
        std::string path = test::doublePath(variable);
        EXPECT_FALSE(path.empty()) << variable << " is not set";
        return path;
    }

    WinLibraries libraries;
    std::uint32_t error = 12345;
};

TEST_F(LibrariesTest, LoadsASystemLibraryByFullPathAndFindsItsExports) {
    char system[MAX_PATH + 1] = {};
    ASSERT_NE(::GetSystemDirectoryA(system, sizeof system), 0u);
    const LibraryRef library = libraries.load(std::string(system) + "\\version.dll", error);
    ASSERT_NE(library, nullptr);
    EXPECT_EQ(error, 0u);
    void* found = libraries.symbol(library, "GetFileVersionInfoSizeA");
    EXPECT_NE(found, nullptr);
    EXPECT_EQ(found, reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(library),
                                                              "GetFileVersionInfoSizeA")));
    EXPECT_EQ(libraries.symbol(library, "NoSuchExport"), nullptr);
    EXPECT_EQ(libraries.symbol(nullptr, "GetFileVersionInfoSizeA"), nullptr);
}

TEST_F(LibrariesTest, MissingFileIsNotFound) {
    test::TestDirectory dir;
    EXPECT_EQ(libraries.load(dir.file("jvm.dll"), error), nullptr);
    EXPECT_TRUE(error == ERROR_MOD_NOT_FOUND || error == ERROR_FILE_NOT_FOUND) << error;
}

TEST_F(LibrariesTest, LibraryOfTheOtherWordSizeIsABadImage) {
    const std::string x86 = requireDouble("ZENDRA_JVM_DOUBLE_X86");
    EXPECT_EQ(libraries.load(x86, error), nullptr);
    EXPECT_EQ(error, static_cast<std::uint32_t>(ERROR_BAD_EXE_FORMAT));
}

TEST_F(LibrariesTest, JvmDoubleLogsItsLoadAndTheCreateCall) {
    test::TestDirectory dir;
    const std::string log = dir.file("jvm.log");
    ASSERT_TRUE(::SetEnvironmentVariableA("ZENDRA_JVM_DOUBLE_LOG", log.c_str()));
    const LibraryRef library = libraries.load(requireDouble("ZENDRA_JVM_DOUBLE"), error);
    ASSERT_NE(library, nullptr) << error;
    const std::string afterLoad = test::readRawFile(log);
    EXPECT_EQ(afterLoad.rfind("loaded ", 0), 0u) << afterLoad;

    const auto create = reinterpret_cast<CreateJavaVmFn>(libraries.symbol(library, "JNI_CreateJavaVM"));
    ASSERT_NE(create, nullptr);
    void* vm = &error;
    void* env = &error;
    EXPECT_EQ(create(&vm, &env, nullptr), -1);
    EXPECT_EQ(vm, nullptr);
    EXPECT_EQ(env, nullptr);
    ::SetEnvironmentVariableA("ZENDRA_JVM_DOUBLE_LOG", nullptr);

    const std::string all = test::readRawFile(log);
    ASSERT_EQ(all.rfind(afterLoad, 0), 0u);
    const std::string created = all.substr(afterLoad.size());
    ASSERT_EQ(created.rfind("create ", 0), 0u) << all;
    ASSERT_EQ(afterLoad.back(), '\n');
    ASSERT_EQ(created.substr(created.size() - 2), "\r\n");
    // Both carry a FILETIME; the call comes after the load.
    const auto loadedAt = std::stoull(afterLoad.substr(7));
    const auto createdAt = std::stoull(created.substr(7));
    EXPECT_GT(loadedAt, 116444736000000000ull);  // after 1970
    EXPECT_GE(createdAt, loadedAt);
}

TEST_F(LibrariesTest, LibraryWithoutTheEntryLoadsButHasNoSymbol) {
    const LibraryRef library = libraries.load(requireDouble("ZENDRA_JVM_NOEXPORT_DOUBLE"), error);
    ASSERT_NE(library, nullptr) << error;
    EXPECT_EQ(libraries.symbol(library, "JNI_CreateJavaVM"), nullptr);
}

}  // namespace
}  // namespace zendra::win
