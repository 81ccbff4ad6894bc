#include "entry.h"

#include <gtest/gtest.h>

#include "fake_jni.h"
#include "fake_jvm_support.h"
#include "pe_image.h"
#include "property_ids.h"
#include "test_pe.h"

namespace zendra {
namespace {

using test::FakeExit;
using test::FakeJvm;

// The application launcher from its command line to the application's main, over a packed
// record, a fake runtime on disk and a fake VM behind its JNI_CreateJavaVM.
class AppEntryTest : public ::testing::Test {
protected:
    AppEntryTest() {
        sys.fs.addDirectory("c:\\temp");
        sys.env.vars["PATH"] = "c:\\windows";
        jvm.withMain("com/zendra/runtime/WinLauncher");
    }
    void install(const std::string& searchSequence) {
        pack::Package p;
        p.strings = {{prop::launcherType, "2"},     {prop::searchSequence, searchSequence},
                     {prop::nativeLibraryPath, "lib"}, {prop::errorVmStart, "VM failed"},
                     {prop::productFlavour, "zendra"}};
        std::vector<std::string> notes;
        sys.fs.addFile("c:\\app\\launcher.exe", pack::packageExecutable(test::minimalPe(), p, notes));
        test::addJre(sys, "c:\\jre");
        sys.libraries.libraries["c:\\jre\\bin\\server\\jvm.dll"].exports["JNI_CreateJavaVM"] = FakeJvm::createEntry();
    }
    int run() {
        try {
            return appLauncherMain(sys.platform, u"\"c:\\app\\launcher.exe\" file.txt", "file.txt");
        } catch (const FakeExit& e) {
            return e.code;
        }
    }
    test::FakeSystem sys;
    FakeJvm jvm;
};

TEST_F(AppEntryTest, LoadedRuntimeRunsMainAndEndsWithZero) {
    install("Bc:\\jre");
    EXPECT_EQ(run(), 0);
    EXPECT_EQ(jvm.mainArguments,
              (std::vector<std::u16string>{u"false", u"", u"", u"", u"false", u"c:\\app\\launcher.exe", u"file.txt"}));
    EXPECT_EQ(jvm.count("DestroyJavaVM"), 1);
    const std::string libraryPath = "-Djava.library.path=c:\\app\\lib;c:\\windows";
    EXPECT_NE(std::find_if(jvm.options.begin(), jvm.options.end(),
                           [&](const std::string& o) { return o.rfind(libraryPath, 0) == 0; }),
              jvm.options.end());
}

TEST_F(AppEntryTest, FailedVmCreationShowsTheStartTextAndExitsWithOne) {
    install("Bc:\\jre");
    jvm.createResult = JNI_ERR;
    EXPECT_EQ(run(), 1);
    EXPECT_EQ(sys.ui.stderrText, "VM failed\n");
}

TEST_F(AppEntryTest, NoRuntimeEndsWithEightyThree) {
    install("Bc:\\nothing");
    EXPECT_EQ(run(), 83);
    EXPECT_TRUE(jvm.calls.empty());
}

}  // namespace
}  // namespace zendra
