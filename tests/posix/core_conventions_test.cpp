// The portable core over the real POSIX services: what the Linux edition hands to the file
// system, the environment and the Java runtime is spelled the Linux way.
#include <gtest/gtest.h>

#include <filesystem>

#include "class_path.h"
#include "java_check.h"
#include "jvm_loader.h"
#include "launcher.h"
#include "paths.h"
#include "posix_platform.h"
#include "posix_test_support.h"
#include "property_ids.h"
#include "system_properties.h"
#include "vm_options.h"

namespace zendra::posix {
namespace {

using test::TempDir;

class CoreConventionsTest : public ::testing::Test {
protected:
    CoreConventionsTest()
        : system_(StoreDirectories{dir_ / "user", dir_ / "machine"}, SemaphoreDirectories{dir_ / "global", dir_ / "local"}) {}

    void touch(const std::string& relative) {
        const std::filesystem::path path = std::filesystem::path(dir_.path()) / relative;
        std::filesystem::create_directories(path.parent_path());
        test::writeFile(path.string(), "x");
    }

    TempDir dir_;
    PosixPlatform system_;
    Launcher l{system_.platform(), LauncherKind::App};
};

TEST_F(CoreConventionsTest, RecordPathsInEitherSpellingResolveAgainstTheExecutableDirectory) {
    const std::string exeDir = getExecutableDirectory(l);
    ASSERT_FALSE(exeDir.empty());
    EXPECT_EQ(exeDir.back(), '/');
    EXPECT_EQ(resolvePath(l, "lib\\app.jar"), exeDir + "lib/app.jar");
    EXPECT_EQ(resolvePath(l, "lib//sub/app.jar"), exeDir + "lib/sub/app.jar");
    EXPECT_EQ(resolvePath(l, "/opt/app\\lib.jar"), "/opt/app/lib.jar");
    EXPECT_FALSE(isRelativePath("/opt", kPosixConventions));
    EXPECT_FALSE(isRelativePath("\"/opt", kPosixConventions));
    EXPECT_TRUE(isRelativePath("c:\\opt", kPosixConventions));
    EXPECT_EQ(resolvePathList(l, "/a;;/b\\c;:/d::e"), "/a:/b/c:/d:" + exeDir + "e");
}

TEST_F(CoreConventionsTest, ClassPathUsesColonsAndScansDirectoriesJarsFirst) {
    touch("lib/b.jar");
    touch("lib/a.zip");
    touch("lib/a.jar");
    touch("one.jar");
    l.store.setProperty(prop::classPath, "A1" + dir_ / "one.jar" + ";S0" + dir_.path() + "\\lib");
    const std::string text = composeClassPath(l, OptionSink{});
    EXPECT_EQ(text, "-Djava.class.path=" + dir_ / "one.jar" + ":" + dir_ / "lib/a.jar" + ":" + dir_ / "lib/b.jar" +
                        ":" + dir_ / "lib/a.zip");
}

TEST_F(CoreConventionsTest, NativeLibraryDirectoriesGoBeforeLdLibraryPathAndTheSystemDirectories) {
    test::ScopedEnv unset("LD_LIBRARY_PATH", std::nullopt);
    l.store.setProperty(prop::nativeLibraryPath, "/opt/native;/opt/more");
    setNativeLibraryPath(l);
    EXPECT_EQ(l.os.env.get("LD_LIBRARY_PATH"), "/opt/native:/opt/more");
    setNativeLibraryPath(l);
    EXPECT_EQ(l.os.env.get("LD_LIBRARY_PATH"), "/opt/native:/opt/more:/opt/native:/opt/more");
    bool found = false;
    for (const std::string& option : launcherSystemProperties(l))
        if (option.rfind("-Djava.library.path=", 0) == 0) {
            found = true;
            EXPECT_EQ(option, "-Djava.library.path=/opt/native:/opt/more:/opt/native:/opt/more:" +
                                  std::string(kPosixSystemLibraryPath));
        }
    EXPECT_TRUE(found);
}

TEST_F(CoreConventionsTest, JavaHomeNamesBinJavaUnlessAnOldJreDirectoryHoldsOne) {
    std::string javaExe;
    touch("jdk/bin/java");
    EXPECT_TRUE(javaHomeToJavaExe(l, javaExe, dir_ / "jdk"));
    EXPECT_EQ(javaExe, dir_ / "jdk/bin/java");
    touch("jdk/jre/bin/java");
    EXPECT_TRUE(javaHomeToJavaExe(l, javaExe, dir_ / "jdk"));
    EXPECT_EQ(javaExe, dir_ / "jdk/jre/bin/java");
}

// Records every library path the core asks for and loads it for real.
class RecordingLibraries final : public Libraries {
public:
    explicit RecordingLibraries(Libraries& real) : real_(real) {}
    LibraryRef load(const std::string& path, std::uint32_t& error) override {
        attempts.push_back(path);
        return real_.load(path, error);
    }
    void* symbol(LibraryRef library, const char* name) override { return real_.symbol(library, name); }
    std::vector<std::string> attempts;

private:
    Libraries& real_;
};

TEST_F(CoreConventionsTest, VmLibraryIsLookedForInTheModernThenTheOlderLayouts) {
    std::string zlib;
    for (const char* candidate : {"/lib/x86_64-linux-gnu/libz.so.1", "/usr/lib/x86_64-linux-gnu/libz.so.1"})
        if (std::filesystem::exists(candidate)) zlib = candidate;
    if (zlib.empty()) GTEST_SKIP() << "no libz.so.1 to stand in for the VM library";
    RecordingLibraries libraries(system_.platform().libraries);
    Platform os = system_.platform();
    Platform recording{os.fs, os.env, os.clock, os.ui, os.codec, os.process, os.registry, libraries,
                       os.sync, os.desktop, os.splash, &kPosixConventions};
    Launcher launcher{recording, LauncherKind::App};
    launcher.store.setProperty(prop::preferredVmType, "zero");
    const std::string home = dir_ / "jdk";
    const std::string arch(posixRuntimeArchitecture());
    touch("jdk/bin/java");
    std::filesystem::create_directories(home + "/jre/lib/" + arch + "/client");
    std::filesystem::copy_file(zlib, home + "/jre/lib/" + arch + "/client/libjvm.so");

    EXPECT_NE(loadJvmLibrary(launcher, home + "/bin/java"), nullptr);
    const std::string base = home + "/bin/..";
    EXPECT_EQ(libraries.attempts,
              (std::vector<std::string>{base + "/lib/zero/libjvm.so", base + "/lib/server/libjvm.so",
                                        base + "/lib/client/libjvm.so", base + "/jre/lib/" + arch + "/zero/libjvm.so",
                                        base + "/jre/lib/" + arch + "/server/libjvm.so",
                                        base + "/jre/lib/" + arch + "/client/libjvm.so"}));
    std::filesystem::create_directories(home + "/lib/server");
    std::filesystem::copy_file(zlib, home + "/lib/server/libjvm.so");
    libraries.attempts.clear();
    EXPECT_NE(loadJvmLibrary(launcher, home + "/bin/java"), nullptr);
    EXPECT_EQ(libraries.attempts.back(), base + "/lib/server/libjvm.so");
}

TEST_F(CoreConventionsTest, TemporaryDirectoryComesFromTmpdirAndHandOverAndRunFilesFromThePrivateOne) {
    test::ScopedEnv tmp("TMPDIR", dir_.path());
    EXPECT_EQ(getTempDirectory(l), dir_.path() + "/");
    EXPECT_EQ(getPidFileName(l, 42), dir_ / "local/znd_p42.tmp");
    createLauncherTempDir(l);
    EXPECT_EQ(l.launcherTempDir.rfind(dir_ / "local/znd_dir", 0), 0u) << l.launcherTempDir;
    EXPECT_EQ(std::filesystem::status(l.launcherTempDir).permissions(), std::filesystem::perms::owner_all);
}

}  // namespace
}  // namespace zendra::posix
