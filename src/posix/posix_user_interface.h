// User-visible output on Linux: the standard streams and the terminal.
#pragma once

#include "platform.h"

namespace zendra::posix {

// The UserInterface of the portable core. Linux has no message boxes: a box's text goes to
// standard error as "caption: text" (the text alone without a caption). An error box is
// answered Ok; a question is asked on the terminal ("[y/N]") when standard input is one,
// and answered No otherwise. UTF-16 text is written as UTF-8.
class PosixUserInterface final : public UserInterface {
public:
    // Writes the box to standard error and answers it.
    BoxAnswer messageBox(WindowRef owner, const std::string& text, const std::string& caption,
                         BoxStyle style) override;
    // messageBox with UTF-16 text.
    BoxAnswer messageBoxW(WindowRef owner, const std::u16string& text, const std::u16string& caption,
                          BoxStyle style) override;
    // Writes to stderr and flushes.
    void writeStderr(const std::string& text) override;
    // Writes UTF-8 to stderr and flushes.
    void writeStderrW(const std::u16string& text) override;
    // Writes to stdout and flushes.
    void writeStdout(const std::string& text) override;
};

// The answer a line typed at a "[y/N]" prompt gives: Yes for "y" or "yes" in any case
// (surrounding blanks ignored), No for anything else.
BoxAnswer answerFromLine(const std::string& line);

}  // namespace zendra::posix
