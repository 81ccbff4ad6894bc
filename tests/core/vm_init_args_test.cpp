#include "vm_init_args.h"

#include <gtest/gtest.h>

#include "fake_jvm_support.h"
#include "property_ids.h"
#include "system_properties.h"

namespace zendra {
namespace {

using Options = std::vector<std::string>;

class VmInitArgsTest : public ::testing::Test {
protected:
    VmInitArgsTest() {
        test::enableLog(sys);
        sys.fs.addFile("c:\\app\\launcher.exe", "MZ");
        sys.fs.addDirectory("c:\\temp");
        sys.env.vars["PATH"] = "c:\\app\\lib;c:\\windows";
        sys.env.vars["MANPATH"] = "/usr/man";
    }
    test::FakeSystem sys;
    Launcher l{sys.platform, LauncherKind::App};
};

TEST_F(VmInitArgsTest, PlainRunHasTheFiveUnconditionalProperties) {
    EXPECT_EQ(launcherSystemProperties(l),
              (Options{"-Dzendra.moduleName=c:\\app\\launcher.exe", "-Dsun.java.command=c:\\app\\launcher.exe",
                       "-Dzendra.tempDir=", "-Dzendra.unextractedPosition=0",
                       "-Djava.library.path=c:\\app\\lib;c:\\windows"}));
}

TEST_F(VmInitArgsTest, EveryConditionalPropertyTakesItsPlace) {
    Launcher service{sys.platform, LauncherKind::Service};
    service.instanceSemaphoreName = "Local\\c__app_launcher.exe";
    service.manualJre = true;
    service.flavourLetter = 'q';
    service.store.setProperty(prop::singleInstance, "1");
    service.processId = 4242;
    service.launcherTempDir = "c:\\temp\\znd1.tmp_dir7";
    service.unextractedPosition = 1234;
    service.consoleOutputCodePage = 850;
    sys.env.vars.erase("MANPATH");
    EXPECT_EQ(launcherSystemProperties(service),
              (Options{"-Dzendra.semaphoreName=Local\\c__app_launcher.exe", "-Dzendra.manualJre=true",
                       "-Dzendra.isQuillon=true", "-Dzendra.isService=true",
                       "-Dzendra.moduleName=c:\\app\\launcher.exe", "-Dsun.java.command=c:\\app\\launcher.exe",
                       "-Dzendra.processCommFile=c:\\temp\\znd_p4242.tmp", "-Dzendra.tempDir=c:\\temp\\znd1.tmp_dir7",
                       "-Dzendra.unextractedPosition=1234", "-Djava.library.path=c:\\app\\lib;c:\\windows",
                       "-Dzendra.consoleCodepage=cp850"}));
}

TEST_F(VmInitArgsTest, LanguageRestartHidesThePositionAndAnyManpathHidesTheCodePage) {
    l.unextractedPosition = 99;
    l.languageRestart = true;
    sys.env.vars["MANPATH"] = "";
    const Options props = launcherSystemProperties(l);
    EXPECT_EQ(props[3], "-Dzendra.unextractedPosition=-1");
    EXPECT_EQ(props.back(), "-Djava.library.path=c:\\app\\lib;c:\\windows");
    sys.env.vars.erase("MANPATH");
    l.consoleOutputCodePage = 437;
    EXPECT_EQ(launcherSystemProperties(l).back(), "-Dzendra.consoleCodepage=cp437");
}

TEST_F(VmInitArgsTest, OptionsFollowTheirSourcesAndTheClassPathComesLast) {
    l.store.setProperty(prop::vmOptions, "-Xmx1g \"-classpath/p pre.jar\" -Dp=1");
    l.store.setProperty(prop::acceptJavaArguments, "1");
    l.language = makeSelection("de_AT");
    sys.fs.addFile("c:\\app\\launcher.vmoptions", "-Dfile=1\n-classpath/a extra.jar\n-Dfile=2\n");
    const ArgumentList args{u"launcher.exe", u"-J-Dj=1", u"-Dsun.locale.formatasdefault=false", u"-Jx", u"file"};
    EXPECT_EQ(collectVmOptions(l, {"-Dsys=1", "-Dsys=2"}, args),
              (Options{"-Dsys=1", "-Dsys=2", "-Xmx1g", "-Dp=1", "-Dj=1", "x", "-Dsun.locale.formatasdefault=false",
                       "-Duser.language=de", "-Duser.country=AT", "-Dfile=1", "-Dfile=2",
                       "-Djava.class.path=pre.jar;extra.jar"}));
}

TEST_F(VmInitArgsTest, InitArgumentsCarryEveryOptionInOrderAndLogThem) {
    std::unique_ptr<VmInitArgs> init = buildVmInitArgs(l, {"-Dsys=1"}, {u"launcher.exe"});
    EXPECT_EQ(init->args.version, 0x00010002);
    EXPECT_EQ(init->args.ignoreUnrecognized, JNI_TRUE);
    ASSERT_EQ(init->args.nOptions, 2);
    EXPECT_STREQ(init->args.options[0].optionString, "-Dsys=1");
    EXPECT_STREQ(init->args.options[1].optionString, "-Djava.class.path=");
    EXPECT_EQ(init->args.options[1].extraInfo, nullptr);
    EXPECT_TRUE(test::logHasInOrder(sys, l, {formatText("default vmoptions file: %p", static_cast<void*>(nullptr)), "vmoption count 2", "vmoption 0: -Dsys=1",
                                             "vmoption 1: -Djava.class.path="}));
}

}  // namespace
}  // namespace zendra
