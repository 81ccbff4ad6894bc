// Finding the text after the program name, as the C runtime's startup code does.
#include <gtest/gtest.h>

#include "command_line.h"
#include "text_codec.h"
#include "win32.h"

namespace zendra::win {
namespace {

TEST(CommandLine, TailAfterQuotedProgram) {
    EXPECT_EQ(commandTail(u"\"C:\\Program Files\\app.exe\"  __qln_reboot"), u"__qln_reboot");
    EXPECT_EQ(commandTail(u"\"C:\\Program Files\\app.exe\""), u"");
}

TEST(CommandLine, TailAfterUnquotedProgram) {
    EXPECT_EQ(commandTail(u"app.exe\t -x  'y z' "), u"-x  'y z' ");
    EXPECT_EQ(commandTail(u"app.exe"), u"");
    EXPECT_EQ(commandTail(u""), u"");
}

TEST(CommandLine, QuotesInsideProgramTokenHideSpaces) {
    EXPECT_EQ(commandTail(u"C:\\\"Program Files\"\\app.exe arg"), u"arg");
    // An unterminated quote runs to the end: no tail.
    EXPECT_EQ(commandTail(u"\"C:\\app.exe arg"), u"");
}

TEST(CommandLine, ControlCharactersEndTheProgramToken) {
    EXPECT_EQ(commandTail(u"app.exe\r\narg"), u"arg");
}

TEST(CommandLine, CurrentProcessCommandLine) {
    WinTextCodec codec;
    const EntryCommandLine current = currentCommandLine(codec);
    EXPECT_NE(current.commandLine.find(u"win_tests"), std::u16string::npos);
    // The C runtime's own split of the same command line: the tail starts with argument 1.
    if (__argc > 1) {
        EXPECT_EQ(current.rawTail.rfind(__argv[1], 0), 0u) << current.rawTail;
    } else {
        EXPECT_EQ(current.rawTail, "");
    }
}

}  // namespace
}  // namespace zendra::win
