// Real services of the Linux host that stand in for the Windows ones when the launch code
// drives a real Java VM: dynamic libraries, UTF-8 as the 8-bit code page, standard error.
#pragma once

#include <map>
#include <string>

#include "platform.h"
#include "posix_text_codec.h"

namespace zendra::jvmtest {

// Loads libraries with dlopen; Windows-style paths the launcher asks for are mapped to real
// files through aliases (so the runtime search can find "bin\\server\\jvm.dll").
class DlLibraries final : public Libraries {
public:
    // dlopen of the alias target of path (compared without ASCII case), else of path itself.
    LibraryRef load(const std::string& path, std::uint32_t& error) override;
    // dlsym in a library this object loaded.
    void* symbol(LibraryRef library, const char* name) override;
    // Makes a Windows-style path name a real library file.
    void alias(const std::string& windowsPath, const std::string& realPath);

private:
    std::map<std::string, std::string> aliases_;  // lower-case Windows path -> real path
};

// UTF-8 as the "ANSI" and file code page, matching a VM that runs in a UTF-8 locale: the
// Linux launcher's own codec.
using Utf8Codec = posix::PosixTextCodec;

// Writes error texts straight to file descriptor 2 (in order with what the VM prints there);
// message boxes are written there too, marked, so that a wrong display mode shows up.
class StderrUserInterface final : public UserInterface {
public:
    BoxAnswer messageBox(WindowRef owner, const std::string& text, const std::string& caption,
                         BoxStyle style) override;
    BoxAnswer messageBoxW(WindowRef owner, const std::u16string& text, const std::u16string& caption,
                          BoxStyle style) override;
    void writeStderr(const std::string& text) override;
    void writeStderrW(const std::u16string& text) override;
    void writeStdout(const std::string& text) override;
};

// UTF-16 to UTF-8; unpaired surrogates become "?".
std::string toUtf8(const std::u16string& text);

// UTF-8 to UTF-16; malformed bytes become U+FFFD.
std::u16string fromUtf8(const std::string& text);

}  // namespace zendra::jvmtest
