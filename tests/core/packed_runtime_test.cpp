#include "packed_runtime.h"

#include <gtest/gtest.h>

#include "fake_jvm_support.h"
#include "java_check.h"
#include "property_ids.h"

namespace zendra {
namespace {

using test::logHasInOrder;

class PackedRuntimeTest : public ::testing::Test {
protected:
    PackedRuntimeTest() {
        test::enableLog(sys);
        sys.process.scripts["c:\\jre\\bin\\unpack200.exe"] = {};
    }
    void addPacks(std::initializer_list<const char*> jars) {
        for (const char* jar : jars) sys.fs.addFile(std::string("c:\\jre\\lib\\") + jar + ".pack", "packed");
    }
    std::string unpack(const std::string& dir) {
        sys.ui.stdoutText.clear();
        unpackJars(l, dir);
        return sys.ui.stdoutText;
    }
    test::FakeSystem sys;
    Launcher l{sys.platform, LauncherKind::App};
};

TEST_F(PackedRuntimeTest, RuntimesWithoutPackOrAlreadyUnpackedAreLeftAlone) {
    addPacks({"jsse.jar"});
    EXPECT_EQ(unpack("c:\\jre"), "");
    addPacks({"rt.jar"});
    sys.fs.addFile("c:\\jre\\lib\\jsse.jar", "PK");
    EXPECT_EQ(unpack("c:\\jre"), "");
    EXPECT_TRUE(sys.process.hiddenRuns.empty());
    EXPECT_EQ(test::logCount(sys, l, "Unpacking JRE"), 0);
}

TEST_F(PackedRuntimeTest, PresentPacksAreUnpackedInOrderAndDeleted) {
    addPacks({"rt.jar", "charsets.jar", "plugin.jar", "deploy.jar", "ext\\localedata.jar", "jsse.jar"});
    EXPECT_EQ(unpack("c:\\jre"), "Preparing JRE ...\n");
    std::vector<std::string> expected;
    for (const char* jar : {"rt", "charsets", "plugin", "deploy", "ext\\localedata", "jsse"})
        expected.push_back(std::string("\"c:\\jre\\bin\\unpack200.exe\" -r \"c:\\jre\\lib\\") + jar +
                           ".jar.pack\" \"c:\\jre\\lib\\" + jar + ".jar\"");
    EXPECT_EQ(sys.process.hiddenRuns, expected);
    EXPECT_EQ(sys.process.timeouts, std::vector<std::uint32_t>(6, 0xFFFFFFFFu));
    EXPECT_FALSE(sys.fs.exists("c:\\jre\\lib\\rt.jar.pack"));
    EXPECT_FALSE(sys.fs.exists("c:\\jre\\lib\\jsse.jar.pack"));
    EXPECT_EQ(test::logCount(sys, l, "pack path doesn't exists"), 1);
    EXPECT_TRUE(logHasInOrder(sys, l, {"Unpacking JRE", "c:\\jre\\bin\\unpack200.exe",
                                       "-r \"c:\\jre\\lib\\rt.jar.pack\" \"c:\\jre\\lib\\rt.jar\"",
                                       "waiting for unpack200 to finish", "unpack done", "pack path doesn't exists",
                                       "Unpacking JRE done"}));
    EXPECT_EQ(unpack("c:\\jre"), "");
    EXPECT_EQ(sys.process.hiddenRuns.size(), 6u);
}

TEST_F(PackedRuntimeTest, UnpackerThatCannotStartEndsTheRun) {
    sys.process.scripts.clear();
    l.store.setProperty(prop::errorInternal, "Internal error {0}");
    addPacks({"rt.jar"});
    ::testing::internal::CaptureStdout();
    try {
        runUnpack200(l, "c:\\jre", "c:\\jre\\lib\\rt.jar.pack");
        ADD_FAILURE() << "no exit";
    } catch (const test::FakeExit& e) {
        EXPECT_EQ(e.code, 1);
    }
    ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(test::shownTexts(sys), std::vector<std::string>{"Internal error 20"});
    EXPECT_TRUE(logHasInOrder(sys, l, {"could not create unpack process"}));
}

TEST_F(PackedRuntimeTest, RuntimeWithoutItsUnpackerIsPassedOverAndUndeletablePacksLogTheError) {
    sys.fs.addFile("c:\\half\\lib\\rt.jar.pack", "packed");
    test::addJre(sys, "c:\\half");
    std::string exe;
    EXPECT_FALSE(checkJavaHomeDir(l, exe, "c:\\half", {}, false));
    EXPECT_FALSE(checkJavaHomeDir(l, exe, "c:\\half", {}, true));
    EXPECT_TRUE(logHasInOrder(sys, l, {"could not create unpack process",
                                       "ERROR: c:\\half holds packed jars but no usable unpacker"}));

    addPacks({"rt.jar"});
    sys.fs.busyFiles["c:\\jre\\lib\\rt.jar.pack"] = 1;
    EXPECT_TRUE(unpackJars(l, "c:\\jre"));
    EXPECT_TRUE(logHasInOrder(sys, l, {"unpack done", "could not delete packed file (error 32)"}));
}

TEST_F(PackedRuntimeTest, DirectoryCheckPreparesTheRuntimeBeforeLookingAtIt) {
    addPacks({"rt.jar"});
    sys.fs.addFile("c:\\jre\\bin\\java.exe", "MZ");
    test::scriptJava(sys, "c:\\jre\\bin\\java.exe", "java version \"1.8.0_1\"\n");
    std::string exe;
    EXPECT_TRUE(checkJavaHomeDir(l, exe, "c:\\JRE", {}, false));
    EXPECT_EQ(sys.ui.stdoutText, "Preparing JRE ...\n");
    ASSERT_EQ(sys.process.hiddenRuns.size(), 2u);
    EXPECT_EQ(sys.process.hiddenRuns[1], "\"c:\\jre\\bin\\java.exe\" -version");
}

}  // namespace
}  // namespace zendra
