// Real services of the Linux host that stand in for the Windows ones when the launch code
// drives a real Java VM: dynamic libraries, UTF-8 as the 8-bit code page, standard error.
#pragma once

#include <atomic>
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

// A splash "window" that is only a flag, with a real thread and a message loop that ticks
// at the period; one for the process, so that a splash thread may outlive any run.
class ThreadedSplashServices final : public SplashServices {
public:
    bool startThread(std::function<void()> body) override;
    ScreenRect desktopRect() override { return {0, 0, 1920, 1080}; }
    WindowRef createSplashWindow(const SplashWindowLayout&) override { return this; }
    void showWindow(WindowRef, int) override {}
    void hideWindow(WindowRef) override { visible_ = false; }
    void makeTopMost(WindowRef) override {}
    bool isVisible(WindowRef) override { return visible_; }
    void setStatusText(WindowRef, const std::string&) override {}
    void runMessageLoop(WindowRef window, std::uint32_t periodMs, const std::function<bool()>& tick) override;
    std::optional<std::uint32_t> foregroundProcessId() override { return std::nullopt; }
    std::optional<ResourceBytes> ownResource(int, int) override { return std::nullopt; }

private:
    std::atomic<bool> visible_{true};
};

// The process's one threaded splash.
ThreadedSplashServices& threadedSplash();

// UTF-16 to UTF-8; unpaired surrogates become "?".
std::string toUtf8(const std::u16string& text);

// UTF-8 to UTF-16; malformed bytes become U+FFFD.
std::u16string fromUtf8(const std::string& text);

}  // namespace zendra::jvmtest
