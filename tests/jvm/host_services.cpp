#include "host_services.h"

#include <dlfcn.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <thread>

#include "posix_text_codec.h"

namespace zendra::jvmtest {
namespace {

constexpr std::uint32_t kModuleNotFound = 126;

std::string lowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

void writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

std::string toUtf8(const std::u16string& text) { return posix::utf16ToUtf8(text).text; }

std::u16string fromUtf8(const std::string& text) { return posix::utf8ToUtf16(text); }

LibraryRef DlLibraries::load(const std::string& path, std::uint32_t& error) {
    auto alias = aliases_.find(lowerAscii(path));
    const std::string& real = alias == aliases_.end() ? path : alias->second;
    void* handle = ::dlopen(real.c_str(), RTLD_NOW | RTLD_LOCAL);
    error = handle == nullptr ? kModuleNotFound : 0;
    return handle;
}

void* DlLibraries::symbol(LibraryRef library, const char* name) { return ::dlsym(library, name); }

void DlLibraries::alias(const std::string& windowsPath, const std::string& realPath) {
    aliases_[lowerAscii(windowsPath)] = realPath;
}

BoxAnswer StderrUserInterface::messageBox(WindowRef, const std::string& text, const std::string& caption,
                                          BoxStyle) {
    writeAll(2, "[message box " + caption + "] " + text + "\n");
    return BoxAnswer::Ok;
}

BoxAnswer StderrUserInterface::messageBoxW(WindowRef owner, const std::u16string& text,
                                           const std::u16string& caption, BoxStyle style) {
    return messageBox(owner, toUtf8(text), toUtf8(caption), style);
}

void StderrUserInterface::writeStderr(const std::string& text) { writeAll(2, text); }

void StderrUserInterface::writeStderrW(const std::u16string& text) { writeAll(2, toUtf8(text)); }

void StderrUserInterface::writeStdout(const std::string& text) { writeAll(1, text); }

bool ThreadedSplashServices::startThread(std::function<void()> body) {
    std::thread(std::move(body)).detach();
    return true;
}

void ThreadedSplashServices::runMessageLoop(WindowRef, std::uint32_t periodMs, const std::function<bool()>& tick) {
    while (tick()) std::this_thread::sleep_for(std::chrono::milliseconds(periodMs));
}

ThreadedSplashServices& threadedSplash() {
    static ThreadedSplashServices instance;
    return instance;
}

}  // namespace zendra::jvmtest
