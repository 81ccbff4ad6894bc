// Message boxes and the standard error stream.
#pragma once

#include "platform.h"

namespace zendra::win {

// The UserInterface of the portable core.
class WinUserInterface final : public UserInterface {
public:
    // MessageBoxA owned by owner (which may be null).
    BoxAnswer messageBox(WindowRef owner, const std::string& text, const std::string& caption,
                         BoxStyle style) override;
    // MessageBoxW owned by owner (which may be null).
    BoxAnswer messageBoxW(WindowRef owner, const std::u16string& text, const std::u16string& caption,
                          BoxStyle style) override;
    // The bytes to the C runtime's stderr, then a flush.
    void writeStderr(const std::string& text) override;
    // The C runtime's stdout, flushed.
    void writeStdout(const std::string& text) override;
    // WriteConsoleW when standard error is a console; otherwise the text in the console
    // output code page (ANSI when there is none) to the C runtime's stderr.
    void writeStderrW(const std::u16string& text) override;
};

}  // namespace zendra::win
