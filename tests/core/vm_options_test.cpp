#include "vm_options.h"

#include <gtest/gtest.h>

#include "fake_platform.h"
#include "property_ids.h"

namespace zendra {
namespace {

using Options = std::vector<std::string>;
using namespace std::string_literals;

class VmOptionsTest : public ::testing::Test {
protected:
    VmOptionsTest() {
        sys.fs.addFile("c:\\app\\launcher.exe", "");
        sys.fs.addDirectory("c:\\tmp");
        sys.env.vars = {{"TMP", "c:\\tmp"}, {"ZENDRA_LOG", "yes"}};
    }
    // Reads text as an option file with no base file, as the default file is read.
    OptionSink read(const std::string& text) {
        sys.fs.addFile("c:\\app\\launcher.vmoptions", text);
        OptionSink sink;
        readDefaultOptionFile(l, sink);
        return sink;
    }
    OptionSink include(const std::string& path) {
        OptionSink sink;
        processOption(l, "-include-options " + path, nullptr, sink);
        return sink;
    }
    OptionSink configured(const ArgumentList& args) {
        OptionSink sink;
        addConfiguredOptions(l, args, sink);
        return sink;
    }
    std::string logText() { return sys.fs.content(l.log.getLogFilePath().value_or("")); }
    static std::string pointer(const void* p) { return formatText("%p", p); }

    test::FakeSystem sys;
    Launcher l{sys.platform, LauncherKind::App};
};

TEST_F(VmOptionsTest, LinesAreTrimmedAndBlankOrCommentLinesSkipped) {
    OptionSink s = read("  -Xmx512m  \r\n\r\n# comment\r\n-Dx=a # b\n   \n   # indented\n\t-Dtab\n"
                        "-Dcr=1\r2\n-Dend\r\r\n-Dzero\0junk\n-Ddir=${launcher:sys.launcherDirectory}"s);
    EXPECT_EQ(s.vmOptions, (Options{"-Xmx512m", "-Dx=a # b", "-Dtab", "-Dcr=1\r2", "-Dend", "-Dzero", "-Ddir=c:\\app\\"}));
}

TEST_F(VmOptionsTest, MarkedEncodingsAreConvertedLikeEveryOtherText) {
    const auto utf16 = [](const std::u16string& text, bool bigEndian) {
        std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
        for (char16_t c : text) {
            const char high = static_cast<char>(c >> 8), low = static_cast<char>(c & 0xFF);
            bytes += bigEndian ? std::string{high, low} : std::string{low, high};
        }
        return bytes;
    };
    const Options expected{"-Xmx1g", "-Dname=J\xFCrgen", "-Dx=?"};
    for (const std::string& bytes : {"\xEF\xBB\xBF\t-Xmx1g\r\n-Dname=J\xC3\xBCrgen \t\n-Dx=\xE4\xB8\xAD"s,
                                     utf16(u"-Xmx1g\r\n\t-Dname=J\u00fcrgen\r\n-Dx=\u4e2d", false),
                                     utf16(u"  -Xmx1g\n-Dname=J\u00fcrgen\n-Dx=\u4e2d\n", true)})
        EXPECT_EQ(read(bytes).vmOptions, expected);
}

TEST_F(VmOptionsTest, OnlyRegularFilesAreReadAndOnlyUpToTheirBounds) {
    sys.fs.addFile("c:\\app\\zero", std::string(64, '\0'));
    sys.fs.devices.insert("c:\\app\\zero");
    sys.fs.addFile("c:\\app\\big.vmoptions", "-Dbig\n" + std::string(kMaxOptionFileBytes, '#') + "\n-Dlost");
    std::string many;
    for (std::size_t i = 0; i <= kMaxOptionFileLines; ++i) many += "-Dn\n";
    sys.fs.addFile("c:\\app\\many.vmoptions", many);
    OptionSink s = read("-include-options zero\n-include-options big.vmoptions\n-include-options many.vmoptions");
    EXPECT_EQ(s.vmOptions.size(), 1 + kMaxOptionFileLines);
    EXPECT_EQ(s.vmOptions.front(), "-Dbig");
    const std::string log = logText();
    EXPECT_NE(log.find("ERROR: not reading options from c:\\app\\zero: no regular file\n"), std::string::npos);
    EXPECT_NE(log.find("ERROR: option file c:\\app\\big.vmoptions is longer than 1048576 bytes"), std::string::npos);
    EXPECT_NE(log.find("ERROR: option file c:\\app\\many.vmoptions has more than 10000 lines"), std::string::npos);
}

TEST_F(VmOptionsTest, OverlongLinesAreCutAndReadingGoesOn) {
    const std::string full(kMaxOptionLineLength, 'a');
    OptionSink s = read(full + "\r\n" + std::string(kMaxOptionLineLength, 'b') + "bbb\n-Dnext");
    EXPECT_EQ(s.vmOptions, (Options{full, std::string(kMaxOptionLineLength, 'b'), "-Dnext"}));
    const std::string log = logText();
    const std::string cut = "ERROR: option line longer than 8191 bytes, the rest is ignored: ";
    EXPECT_NE(log.find(cut + "b"), std::string::npos);
    EXPECT_EQ(log.find(cut + "a"), std::string::npos);  // CR LF counts as one line feed
}

TEST_F(VmOptionsTest, ClassPathOptionsFillTheirSlotsAndTheLastOneCounts) {
    OptionSink s = read("-classpath/a one.jar\n-classpath/a two.jar\n-classpath base.jar\n"
                        "-classpath/p first.jar\n-classpath\n-classpath/a\n-classpathx y");
    EXPECT_EQ(s.classpathAppend, "two.jar");
    EXPECT_EQ(s.classpathOverride, "base.jar");
    EXPECT_EQ(s.classpathPrepend, "first.jar");
    EXPECT_EQ(s.vmOptions, (Options{"-classpath", "-classpath/a", "-classpathx y"}));
    OptionSink none;
    readOptionFile(l, nullptr, nullptr, none);
    EXPECT_TRUE(none.vmOptions.empty());
}

TEST_F(VmOptionsTest, DefaultFileDropsTheExtensionFirstThenAppendsToTheFullName) {
    sys.fs.addFile("c:\\app\\launcher.exe.vmoptions", "-Dsecond");
    OptionSink s = read("-Dfirst");
    EXPECT_EQ(s.vmOptions, Options{"-Dfirst"});
    sys.fs.deleteFile("c:\\app\\launcher.vmoptions");
    s = OptionSink{};
    readOptionFile(l, nullptr, openDefaultOptionFile(l), s);
    EXPECT_EQ(s.vmOptions, Options{"-Dsecond"});
    sys.fs.deleteFile("c:\\app\\launcher.exe.vmoptions");
    EXPECT_EQ(openDefaultOptionFile(l), nullptr);
    const std::string log = logText();
    EXPECT_NE(log.find("vmoptions: exe file: c:\\app\\launcher.exe, long: c:\\app\\launcher.exe, opts1: "
                       "c:\\app\\launcher.vmoptions, file: " + pointer(nullptr) + "\n"
                       "vmoptions: opts2: c:\\app\\launcher.exe.vmoptions, file: " + pointer(nullptr) + "\n"),
              std::string::npos)
        << log;
}

TEST_F(VmOptionsTest, DefaultFileIsNamedAfterTheLongFormOfTheExecutable) {
    sys.process.wideLongPath = false;
    sys.process.moduleA = "c:\\APPDIR~1\\LAUNCH~1.EXE";
    sys.fs.longNames["c:\\appdir~1\\launch~1.exe"] = "c:\\app dir\\Launcher.exe";
    sys.fs.addFile("c:\\app dir\\Launcher.vmoptions", "-Dlong");
    OptionSink s;
    readOptionFile(l, nullptr, openDefaultOptionFile(l), s);
    EXPECT_EQ(s.vmOptions, Options{"-Dlong"});
}

TEST_F(VmOptionsTest, UnrepresentableLongFormFallsBackToTheShortForm) {
    sys.process.wideLongPath = false;
    sys.process.moduleA = "c:\\ABCD~1\\LAUNCH~1.EXE";
    sys.fs.longNames["c:\\abcd~1\\launch~1.exe"] = "c:\\??\\launcher.exe";
    sys.fs.addFile("c:\\ABCD~1\\LAUNCH~1.vmoptions", "-Dshort");
    OptionSink s;
    readOptionFile(l, nullptr, openDefaultOptionFile(l), s);
    EXPECT_EQ(s.vmOptions, Options{"-Dshort"});
}

TEST_F(VmOptionsTest, IncludesReadInPlaceRelativeToTheIncludingFile) {
    sys.fs.addFile("c:\\app\\sub\\more.vmoptions", "-D2\n-include-options deeper.vmoptions\n");
    sys.fs.addFile("c:\\app\\sub\\deeper.vmoptions", "-D2b");
    sys.fs.addFile("c:\\app\\deeper.vmoptions", "-Dwrong");
    sys.fs.addFile("c:\\work\\sub\\more.vmoptions", "-Dwrong");  // the current directory plays no part
    OptionSink s = read("-D1\n-include-options sub\\more.vmoptions\n-include-options missing.vmoptions\n-D3");
    EXPECT_EQ(s.vmOptions, (Options{"-D1", "-D2", "-D2b", "-D3"}));
    EXPECT_TRUE(s.includeChain.empty());
    const std::string log = logText();
    const std::string found = "adding vmoptions from <c:\\app\\sub\\deeper.vmoptions> (deeper.vmoptions) (";
    EXPECT_NE(log.find(found), std::string::npos);
    EXPECT_EQ(log.find(found + pointer(nullptr)), std::string::npos);
    EXPECT_NE(log.find("adding vmoptions from <c:\\app\\missing.vmoptions> (missing.vmoptions) (" + pointer(nullptr) + ")\n"),
              std::string::npos)
        << log;
}

TEST_F(VmOptionsTest, IncludeCyclesAreCutAndLogged) {
    sys.fs.addFile("c:\\app\\a.vmoptions", "-Da\n-include-options b.vmoptions\n-Da2");
    sys.fs.addFile("c:\\app\\b.vmoptions", "-Db\n-include-options A.VMOPTIONS\n-include-options ..\\app\\b.vmoptions\n-Db2");
    OptionSink s = include("${launcher:sys.launcherDirectory}a.vmoptions");
    EXPECT_EQ(s.vmOptions, (Options{"-Da", "-Db", "-Db2", "-Da2"}));
    const std::string log = logText();
    EXPECT_NE(log.find("ERROR: not including c:\\app\\A.VMOPTIONS again (include cycle)\n"), std::string::npos) << log;
    EXPECT_NE(log.find("ERROR: not including c:\\app\\..\\app\\b.vmoptions again (include cycle)\n"), std::string::npos);
}

TEST_F(VmOptionsTest, DefaultFileTakesPartInTheCycleGuard) {
    sys.fs.addFile("c:\\app\\sub.vmoptions", "-Dsub\n-include-options launcher.vmoptions");
    OptionSink s = read("-Ddefault\n-include-options LAUNCHER.vmoptions\n-include-options sub.vmoptions");
    EXPECT_EQ(s.vmOptions, (Options{"-Ddefault", "-Dsub"}));
    EXPECT_NE(logText().find("ERROR: not including c:\\app\\launcher.vmoptions again (include cycle)"), std::string::npos);
}

TEST_F(VmOptionsTest, DeepIncludeChainsStopAtTheDepthLimit) {
    for (std::size_t i = 0; i <= kMaxIncludeDepth; ++i)
        sys.fs.addFile(formatText("c:\\app\\f%d.vmoptions", static_cast<int>(i)),
                       formatText("-D%d\n-include-options f%d.vmoptions", static_cast<int>(i), static_cast<int>(i + 1)));
    OptionSink s = include("f0.vmoptions");
    ASSERT_EQ(s.vmOptions.size(), kMaxIncludeDepth);
    EXPECT_EQ(s.vmOptions.back(), formatText("-D%d", static_cast<int>(kMaxIncludeDepth - 1)));
    EXPECT_NE(logText().find("ERROR: not including c:\\app\\f16.vmoptions (option files nested deeper than 16)"),
              std::string::npos);
}

TEST_F(VmOptionsTest, PropertyTokensMayNameTheIncludedFileSeparately) {
    sys.fs.addFile("c:\\app\\more.vmoptions", "-Dmore");
    l.store.setProperty(prop::vmOptions, "-Xms1m -include-options ${launcher:sys.launcherDirectory}more.vmoptions -Xss1m "
                                         "-classpath a.jar \"-classpath/a b.jar\" '-classpath/p c.jar' -include-options");
    OptionSink s = configured({u"launcher.exe"});
    EXPECT_EQ(s.vmOptions, (Options{"-Xms1m", "-Dmore", "-Xss1m", "-classpath", "a.jar", "-include-options"}));
    EXPECT_EQ(s.classpathAppend, "b.jar");
    EXPECT_EQ(s.classpathPrepend, "c.jar");
    EXPECT_EQ(s.classpathOverride, "");
    EXPECT_NE(logText().find("\nadding options\n\n"), std::string::npos);
}

TEST_F(VmOptionsTest, PropertyIsExpandedBeforeItIsSplit) {
    test::FakeSystem spaced;
    spaced.fs.addFile("c:\\my app\\launcher.exe", "");
    spaced.fs.addFile("c:\\my app\\more.vmoptions", "-Dmore");
    spaced.process.moduleW = u"c:\\my app\\launcher.exe";
    spaced.env.vars = {{"OPTS", "-Da -Db"}};
    Launcher other{spaced.platform, LauncherKind::App};
    other.store.setProperty(prop::vmOptions, "-include-options ${launcher:sys.launcherDirectory}more.vmoptions ${OPTS} \"-Dq=${OPTS}\"");
    OptionSink s;
    addConfiguredOptions(other, {u"launcher.exe"}, s);
    EXPECT_EQ(s.vmOptions, (Options{"app\\more.vmoptions", "-Da", "-Db", "-Dq=-Da -Db"}));
}

TEST_F(VmOptionsTest, JavaArgumentsCountOnlyWhenAccepted) {
    const ArgumentList args{u"-Jzero", u"-J-Xmx1g", u"plain", u"-J-classpath/a extra.jar", u"-J-Dn=\u00e9\u4e2d", u"x-J"};
    OptionSink off = configured(args);
    EXPECT_TRUE(off.vmOptions.empty());
    l.store.setProperty(prop::acceptJavaArguments, "1");
    OptionSink on = configured(args);
    EXPECT_EQ(on.vmOptions, (Options{"zero", "-Xmx1g", "-Dn=\xE9?"}));
    EXPECT_EQ(on.classpathAppend, "extra.jar");
}

TEST_F(VmOptionsTest, LocaleOptionsComeLastWhateverTheJavaArgumentSetting) {
    l.store.setProperty(prop::vmOptions, "-Dprop");
    l.store.setProperty(prop::acceptJavaArguments, "1");
    l.language = makeSelection("en_US");
    const ArgumentList args{u"launcher.exe", u"-Dsun.locale.formatasdefault=true", u"-J-Dj",
                            u"-Dsun.locale.formatasdefault=false"};
    EXPECT_EQ(configured(args).vmOptions, (Options{"-Dprop", "-Dj", "-Dsun.locale.formatasdefault=false",
                                                   "-Duser.language=en", "-Duser.country=US"}));
    l.store.setProperty(prop::acceptJavaArguments, "0");
    l.language = makeSelection("no_NO_NY");
    EXPECT_EQ(configured({u"launcher.exe", u"-Dsun.locale.formatasdefault=x"}).vmOptions,
              (Options{"-Dprop", "-Dsun.locale.formatasdefault=x", "-Duser.language=no"}));
    EXPECT_EQ(configured({u"-Dsun.locale.formatasdefault=true"}).vmOptions,
              (Options{"-Dprop", "-Dsun.locale.formatasdefault=true"}));
}

}  // namespace
}  // namespace zendra
