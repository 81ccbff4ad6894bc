#include "launch_arguments.h"

#include <gtest/gtest.h>

#include "fake_platform.h"
#include "property_ids.h"

namespace zendra {
namespace {

using Arguments = std::vector<std::u16string>;

class LaunchArgumentsTest : public ::testing::Test {
protected:
    LaunchArgumentsTest() {
        sys.fs.addFile("c:\\app\\launcher.exe", "MZ");
        l.store.setProperty(prop::launcherType, "1");
        l.store.setProperty(prop::launchText, "com.example.Main");
    }
    test::FakeSystem sys;
    Launcher l{sys.platform, LauncherKind::App};
};

TEST_F(LaunchArgumentsTest, FiveFixedItemsThenTheProgramAndItsArguments) {
    EXPECT_EQ(buildLaunchArguments(l, {u"C:\\App\\launcher.exe", u"file.txt", u"-x"}),
              (Arguments{u"true", u"com.example.Main", u"", u"", u"false", u"C:\\App\\launcher.exe", u"file.txt", u"-x"}));
    l.store.setProperty(prop::launcherType, "2");
    l.store.setProperty(prop::launchFlag, "1");
    EXPECT_EQ(buildLaunchArguments(l, {}), (Arguments{u"false", u"com.example.Main", u"", u"", u"true"}));
}

TEST_F(LaunchArgumentsTest, ConfiguredArgumentsAreExpandedAndSplitAfterTheProgram) {
    sys.env.vars["MODE"] = "fast 'two words'";
    l.store.setProperty(prop::launchArguments, "-mode ${MODE} \"x y\"");
    EXPECT_EQ(buildLaunchArguments(l, {u"launcher.exe", u"last"}),
              (Arguments{u"true", u"com.example.Main", u"", u"", u"false", u"launcher.exe", u"-mode", u"fast",
                         u"two words", u"x y", u"last"}));
    l.store.setProperty(prop::launchArguments, "");
    EXPECT_EQ(buildLaunchArguments(l, {u"launcher.exe"}).size(), 6u);
}

TEST_F(LaunchArgumentsTest, JavaAndLocaleSwitchesAreFilteredFromTheUserArguments) {
    const ArgumentList args{u"-Jprogram", u"-J-Xmx1g", u"-j", u"-Dsun.locale.formatasdefault=true", u"-Dsun.locale.x"};
    const Arguments tail = {u"-Jprogram", u"-J-Xmx1g", u"-j", u"-Dsun.locale.x"};
    Arguments got = buildLaunchArguments(l, args);
    EXPECT_EQ(Arguments(got.begin() + 5, got.end()), tail);
    l.store.setProperty(prop::acceptJavaArguments, "1");
    got = buildLaunchArguments(l, args);
    EXPECT_EQ(Arguments(got.begin() + 5, got.end()), (Arguments{u"-Jprogram", u"-j", u"-Dsun.locale.x"}));
}

TEST_F(LaunchArgumentsTest, EnabledPathsAreMadeFullUnlessAReferenceIsLeft) {
    l.store.setProperty(prop::launchPathAEnabled, "1");
    l.store.setProperty(prop::launchPathA, "Data\\Readme.txt");
    l.store.setProperty(prop::launchPathBEnabled, "1");
    l.store.setProperty(prop::launchPathB, "${UNDEFINED}\\x");
    Arguments got = buildLaunchArguments(l, {});
    EXPECT_EQ(got[2], u"c:\\app\\Data\\Readme.txt");
    EXPECT_EQ(got[3], u"${UNDEFINED}\\x");
    l.store.setProperty(prop::launchPathBEnabled, "0");
    l.store.setProperty(prop::launchPathA, "${launcher:sys.launcherDirectory}..\\Other");
    got = buildLaunchArguments(l, {});
    EXPECT_EQ(got[2], u"c:\\Other");
    EXPECT_EQ(got[3], u"");
}

TEST_F(LaunchArgumentsTest, LaunchTextIsWidenedByteByByteAndArgumentsKeepTheirCharacters) {
    l.store.setProperty(prop::launchText, "caf\xe9");
    const Arguments got = buildLaunchArguments(l, {u"\u4e2d.exe", u"\u00fc\u4e2d"});
    EXPECT_EQ(got[1], u"caf\u00e9");
    EXPECT_EQ(got[5], u"\u4e2d.exe");
    EXPECT_EQ(got[6], u"\u00fc\u4e2d");
}

TEST(LauncherClassName, FollowsTheFlavour) {
    test::FakeSystem sys;
    Launcher l{sys.platform, LauncherKind::App};
    EXPECT_EQ(launcherClassName(l), "com/zendra/runtime/WinLauncher");
    l.flavourLetter = 'q';
    EXPECT_EQ(launcherClassName(l), "com/quillon/runtime/launcher/WinLauncher");
}

}  // namespace
}  // namespace zendra
