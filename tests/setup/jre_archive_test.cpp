#include "jre_archive.h"

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <mutex>
#include <tuple>

#include "fake_jvm_support.h"
#include "property_ids.h"

namespace zendra::setup {
namespace {

// Collects bar positions from the work thread and the unpacking progress thread.
class SharedBar final : public InstallerProgress {
public:
    void setRange(int, int) override {}
    void setPosition(int position) override {
        std::lock_guard<std::mutex> guard(lock);
        positions.push_back(position);
    }
    std::mutex lock;
    std::vector<int> positions;
};

class IncludedJreTest : public ::testing::Test {
protected:
    IncludedJreTest() {
        test::enableLog(sys);
        sys.fs.currentDirectory = "c:\\work";
    }
    // Puts an archive of archives.py into the working directory as jre.tar.gz.
    void bundle(const std::string& name) {
        std::ifstream in(std::string(ZENDRA_TEST_ARCHIVES) + "/" + name + ".tar.gz", std::ios::binary);
        sys.fs.addFile("c:\\work\\jre.tar.gz",
                       std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()));
        test::scriptJava(sys, "c:\\work\\jre\\bin\\java.exe", "java version \"17.0.2\"\r\n");
        sys.libraries.libraries["c:\\work\\jre\\bin\\server\\jvm.dll"].exports["JNI_CreateJavaVM"] =
            test::fakeCreateJavaVm();
    }
    // The exit code of a step that ends the process, -1 when it returns.
    int exitCodeOf(const std::function<void()>& step) {
        try {
            step();
        } catch (const test::FakeExit& e) {
            return e.code;
        }
        return -1;
    }
    test::FakeSystem sys;
    Launcher l{sys.platform, LauncherKind::Setup};
};

TEST_F(IncludedJreTest, TheBundledRuntimeIsUnpackedAndLoadedAndItsArchiveDeleted) {
    bundle("good");
    EXPECT_EQ(exitCodeOf([&] { prepareIncludedJre(l, nullptr); }), -1);
    EXPECT_FALSE(sys.fs.exists("c:\\work\\jre.tar.gz"));
    EXPECT_EQ(l.jvmHome, "c:\\work\\jre\\bin\\..");
    EXPECT_EQ(l.createJavaVm, test::fakeCreateJavaVm());
    EXPECT_TRUE(test::logHasInOrder(sys, l, {"extracting JRE", "untaring JRE was successful", "JRE dir: c:\\work\\jre",
                                             "Loading of JVM-DLL successful"}));
    EXPECT_EQ(test::logCount(sys, l, "JRE is packed"), 0);
}

TEST_F(IncludedJreTest, PackedJarsAreRestoredWhileTheBarMovesOnFrom200) {
    bundle("good");
    l.store.setProperty(prop::jrePacked, "1");
    l.store.setProperty(prop::jreArchiveSize, "10240");
    sys.fs.addFile("c:\\work\\jre\\lib\\rt.jar.pack", "packed");
    sys.process.scripts["c:\\work\\jre\\bin\\unpack200.exe"] = {};
    SharedBar bar;
    ::testing::internal::CaptureStdout();
    EXPECT_EQ(exitCodeOf([&] { prepareIncludedJre(l, &bar); }), -1);
    ::testing::internal::GetCapturedStdout();
    ASSERT_FALSE(sys.process.hiddenRuns.empty());
    EXPECT_EQ(sys.process.hiddenRuns[0].find("\"c:\\work\\jre\\bin\\unpack200.exe\" -r"), 0u);
    EXPECT_TRUE(test::logHasInOrder(sys, l, {"ERROR: Could not create JRE dir", "JRE is packed", "Unpacking JRE done"}));
    std::vector<int> unpacking;
    for (int position : bar.positions)
        if (position > 200) unpacking.push_back(position);
    for (std::size_t i = 0; i < unpacking.size(); ++i) EXPECT_EQ(unpacking[i], 210 + 10 * static_cast<int>(i));
}

TEST_F(IncludedJreTest, ADamagedOrUnusableRuntimeEndsTheRunWithItsText) {
    bundle("truncated");
    EXPECT_EQ(exitCodeOf([&] { prepareIncludedJre(l, nullptr); }), 1);
    EXPECT_EQ(test::shownTexts(sys), std::vector<std::string>{
                                         "The bundled JRE is corrupted. If you downloaded the setup file please "
                                         "download it again."});
    EXPECT_TRUE(test::logHasInOrder(sys, l, {"ERROR: untaring JRE was unsuccessful", "ERROR: Could not untar JRE"}));

    sys.ui.boxes.clear();
    sys.libraries.libraries.clear();
    EXPECT_EQ(exitCodeOf([&] { useIncludedJre(l); }), 1);
    EXPECT_EQ(test::shownTexts(sys), std::vector<std::string>{
                                         "Could not use bundled JRE. Please send this log file to your software "
                                         "vendor:"});
    EXPECT_TRUE(test::logHasInOrder(sys, l, {"ERROR: Could not load bundled JRE. Trying to find another JRE.",
                                             "ERROR: Could not find another JRE."}));

    sys.env.vars["ZENDRA_JAVA_HOME"] = "c:\\other";
    test::addJre(sys, "c:\\other");
    EXPECT_EQ(exitCodeOf([&] { useIncludedJre(l); }), -1);
    EXPECT_EQ(l.jvmHome, "c:\\other\\bin\\..");
}

// An empty archive is listed among the included files but never written out.
TEST_F(IncludedJreTest, TheIncludedFileListNamesTheArchive) {
    const std::vector<std::tuple<const char*, const char*, bool>> cases{
        {"jre.tar.gz", "1", true},          {"app.jar;JRE.TAR.GZ", "2", true}, {"app.jar;;jre.tar.gz", "2", true},
        {"app.jar;jre.tar.gz", "1", false}, {"lib/jre.tar.gz", "1", false},    {"jre.tar.gz.part", "1", false},
    };
    for (const auto& [names, count, listed] : cases) {
        l.store.setProperty(prop::includedFileNames, names);
        l.store.setProperty(prop::includedFileCount, count);
        EXPECT_EQ(bundlesJreArchive(l), listed) << names << " " << count;
    }
}

}  // namespace
}  // namespace zendra::setup
