// Process services: module names, path forms, locale, child processes, exit handling.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>

#include "handles.h"
#include "test_directory.h"
#include "text_codec.h"
#include "win32.h"
#include "win_file_system.h"
#include "win_process_services.h"
#include "win_user_interface.h"

namespace zendra::win {
namespace {

// Whether text ends with suffix, ignoring ASCII case.
template <typename String>
bool endsWithIgnoringCase(const String& text, const String& suffix) {
    if (text.size() < suffix.size()) return false;
    for (std::size_t i = 0; i < suffix.size(); ++i) {
        auto lower = [](auto c) { return (c >= 'A' && c <= 'Z') ? c + ('a' - 'A') : c; };
        if (lower(text[text.size() - suffix.size() + i]) != lower(suffix[i])) return false;
    }
    return true;
}

TEST(ProcessServices, ModuleFileNamesNameThisExecutable) {
    WinProcessServices process;
    const std::u16string wide = process.moduleFileNameW();
    EXPECT_TRUE(endsWithIgnoringCase(wide, std::u16string(u"\\win_tests.exe")));
    EXPECT_EQ(process.moduleFileNameA(), WinTextCodec().toAnsi(wide).text);
}

TEST(ProcessServices, WidePathForms) {
    WinProcessServices process;
    ASSERT_TRUE(process.hasWideLongPath());
    test::TestDirectory dir;
    // A name outside every ANSI code page: the case the short form exists for.
    const std::u16string longPath = WinTextCodec().fromAnsi(dir.path()) + u"\\Long \u4e2d name.txt";
    UniqueHandle file(::CreateFileW(toWide(longPath).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    ASSERT_TRUE(file.valid());
    file.reset();
    const auto shortPath = process.shortPathNameW(longPath);
    ASSERT_TRUE(shortPath.has_value());
    EXPECT_EQ(shortPath->find(u' '), std::u16string::npos);
    EXPECT_FALSE(WinTextCodec().toAnsi(*shortPath).usedDefault);
    EXPECT_EQ(process.longPathNameW(*shortPath), std::optional<std::u16string>(longPath));
    EXPECT_FALSE(process.shortPathNameW(longPath + u".missing").has_value());
    EXPECT_FALSE(process.longPathNameW(longPath + u".missing").has_value());
}

TEST(ProcessServices, LocaleIdentifiers) {
    WinProcessServices process;
    EXPECT_NE(process.userDefaultLcid(), 0u);
    const auto uiLanguage = process.userDefaultUiLanguage();
    ASSERT_TRUE(uiLanguage.has_value());
    EXPECT_NE(*uiLanguage, 0u);
}

TEST(ProcessServices, StartProcessRunsWithoutWaiting) {
    WinProcessServices process;
    WinFileSystem fs;
    test::TestDirectory dir;
    std::uint32_t error = 1;
    const std::string marker = dir.file("started.txt");
    ASSERT_TRUE(process.startProcess("cmd.exe /c echo started> \"" + marker + "\"", error));
    EXPECT_EQ(error, 0u);
    bool found = false;
    for (int i = 0; i < 200 && !found; ++i) {
        found = fs.find(marker).has_value() && !test::readRawFile(marker).empty();
        if (!found) ::Sleep(50);
    }
    EXPECT_TRUE(found);
}

TEST(ProcessServices, StartProcessReportsMissingProgram) {
    WinProcessServices process;
    std::uint32_t error = 0;
    EXPECT_FALSE(process.startProcess("zendra-no-such-program.exe arg", error));
    EXPECT_EQ(error, static_cast<std::uint32_t>(ERROR_FILE_NOT_FOUND));
}

using ProcessServicesDeathTest = ::testing::Test;

TEST_F(ProcessServicesDeathTest, ExitHandlersRunLatestFirstAtNormalExit) {
    EXPECT_EXIT(
        {
            WinProcessServices process;
            process.atNormalExit([] { std::fputs("first\n", stderr); });
            process.atNormalExit([] { std::fputs("second\n", stderr); });
            std::exit(3);
        },
        ::testing::ExitedWithCode(3), ::testing::HasSubstr("second\nfirst\n"));
}

TEST_F(ProcessServicesDeathTest, ExitProcessSkipsExitHandlers) {
    EXPECT_EXIT(
        {
            WinProcessServices process;
            process.atNormalExit([] { std::fputs("handler ran\n", stderr); });
            WinUserInterface().writeStderr("before exit\n");
            process.exitProcess(7);
        },
        ::testing::ExitedWithCode(7), ::testing::AllOf(::testing::HasSubstr("before exit\n"),
                                                       ::testing::Not(::testing::HasSubstr("handler ran"))));
}

TEST_F(ProcessServicesDeathTest, WideStandardErrorReachesAPipe) {
    EXPECT_EXIT(
        {
            WinUserInterface().writeStderr("narrow ");
            WinUserInterface().writeStderrW(u"wide caf\u00e9 \u4e2d\n");
            WinProcessServices().exitProcess(0);
        },
        ::testing::ExitedWithCode(0), ::testing::HasSubstr("narrow wide caf"));
}

}  // namespace
}  // namespace zendra::win
