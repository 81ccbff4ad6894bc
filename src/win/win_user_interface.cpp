#include "win_user_interface.h"

#include <cstdio>

#include "handles.h"
#include "text_codec.h"
#include "win32.h"

namespace zendra::win {

namespace {

// Icon and buttons of a style.
UINT boxFlags(BoxStyle style) {
    return style == BoxStyle::QuestionYesNo ? (MB_ICONQUESTION | MB_YESNO) : (MB_ICONERROR | MB_OK);
}

// The answer a MessageBox result stands for. Escape closes an OK box with IDCANCEL or IDOK;
// both count as OK. Zero (no box could be shown) and anything else are failures.
BoxAnswer toAnswer(int result) {
    switch (result) {
        case IDOK:
        case IDCANCEL:
            return BoxAnswer::Ok;
        case IDYES:
            return BoxAnswer::Yes;
        case IDNO:
            return BoxAnswer::No;
        default:
            return BoxAnswer::Failed;
    }
}

// Writes bytes to the C runtime's stderr and flushes it.
void writeBytes(const std::string& bytes) {
    if (!bytes.empty()) std::fwrite(bytes.data(), 1, bytes.size(), stderr);
    std::fflush(stderr);
}

// Writes to a console handle in pieces small enough for WriteConsoleW, never splitting a
// surrogate pair; stops at the first failure.
void writeConsole(HANDLE console, const std::u16string& text) {
    constexpr std::size_t maxPiece = 8192;
    std::size_t done = 0;
    while (done < text.size()) {
        std::size_t piece = text.size() - done < maxPiece ? text.size() - done : maxPiece;
        const char16_t last = text[done + piece - 1];
        if (piece > 1 && piece == maxPiece && last >= 0xD800 && last <= 0xDBFF) --piece;
        DWORD written = 0;
        if (!::WriteConsoleW(console, reinterpret_cast<const wchar_t*>(text.data() + done),
                             static_cast<DWORD>(piece), &written, nullptr) ||
            written == 0) {
            return;
        }
        done += written;
    }
}

using MessageBoxAFn = int(WINAPI*)(HWND, LPCSTR, LPCSTR, UINT);
using MessageBoxWFn = int(WINAPI*)(HWND, LPCWSTR, LPCWSTR, UINT);

// user32 is loaded on first use: most runs show no box, and loading it at start-up costs
// more than everything else the launcher does before the VM library. It stays loaded.
HMODULE user32Module() {
    static HMODULE module = ::LoadLibraryW(L"user32.dll");
    return module;
}

}  // namespace

BoxAnswer WinUserInterface::messageBox(WindowRef owner, const std::string& text, const std::string& caption,
                                       BoxStyle style) {
    const auto show = findProcedure<MessageBoxAFn>(user32Module(), "MessageBoxA");
    if (show == nullptr) return BoxAnswer::Failed;
    return toAnswer(show(static_cast<HWND>(owner), text.c_str(), caption.c_str(), boxFlags(style)));
}

BoxAnswer WinUserInterface::messageBoxW(WindowRef owner, const std::u16string& text, const std::u16string& caption,
                                        BoxStyle style) {
    const auto show = findProcedure<MessageBoxWFn>(user32Module(), "MessageBoxW");
    if (show == nullptr) return BoxAnswer::Failed;
    return toAnswer(show(static_cast<HWND>(owner), asWide(text), asWide(caption), boxFlags(style)));
}

void WinUserInterface::writeStderr(const std::string& text) {
    writeBytes(text);
}

void WinUserInterface::writeStdout(const std::string& text) {
    if (!text.empty()) std::fwrite(text.data(), 1, text.size(), stdout);
    std::fflush(stdout);
}

void WinUserInterface::writeStderrW(const std::u16string& text) {
    // Earlier 8-bit output must come first.
    std::fflush(stderr);
    HANDLE handle = ::GetStdHandle(STD_ERROR_HANDLE);
    DWORD mode = 0;
    if (handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode)) {
        writeConsole(handle, text);
        return;
    }
    const UINT consolePage = ::GetConsoleOutputCP();
    writeBytes(narrowText(consolePage != 0 ? consolePage : CP_ACP, text).text);
}

}  // namespace zendra::win
