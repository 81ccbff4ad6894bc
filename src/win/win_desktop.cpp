#include "win_desktop.h"

#include <fcntl.h>
#include <io.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <exception>
#include <optional>
#include <vector>

#include "guard.h"
#include "handles.h"
#include "text_codec.h"
#include "win32.h"

namespace zendra::win {
namespace {

// The user32 functions these services call, looked up once when first needed.
struct User32 {
    BOOL(WINAPI* enumWindows)(WNDENUMPROC, LPARAM) = nullptr;
    DWORD(WINAPI* getWindowThreadProcessId)(HWND, LPDWORD) = nullptr;
    BOOL(WINAPI* isWindowVisible)(HWND) = nullptr;
    BOOL(WINAPI* isIconic)(HWND) = nullptr;
    BOOL(WINAPI* showWindow)(HWND, int) = nullptr;
    BOOL(WINAPI* setForegroundWindow)(HWND) = nullptr;
    HWND(WINAPI* getLastActivePopup)(HWND) = nullptr;
    HWND(WINAPI* findWindowW)(LPCWSTR, LPCWSTR) = nullptr;
    BOOL(WINAPI* exitWindowsEx)(UINT, DWORD) = nullptr;
};

// Looks up one function into its slot.
template <typename Fn>
void lookUp(Fn& slot, HMODULE module, const char* name) {
    slot = findProcedure<Fn>(module, name);
}

// The table; user32.dll stays loaded once it was needed. Missing functions stay null.
const User32& user32() {
    static const User32 table = [] {
        User32 t;
        const HMODULE module = ::LoadLibraryW(L"user32.dll");
        lookUp(t.enumWindows, module, "EnumWindows");
        lookUp(t.getWindowThreadProcessId, module, "GetWindowThreadProcessId");
        lookUp(t.isWindowVisible, module, "IsWindowVisible");
        lookUp(t.isIconic, module, "IsIconic");
        lookUp(t.showWindow, module, "ShowWindow");
        lookUp(t.setForegroundWindow, module, "SetForegroundWindow");
        lookUp(t.getLastActivePopup, module, "GetLastActivePopup");
        lookUp(t.findWindowW, module, "FindWindowW");
        lookUp(t.exitWindowsEx, module, "ExitWindowsEx");
        return t;
    }();
    return table;
}

// What one EnumWindows pass collects.
struct Enumeration {
    const User32* api;
    std::vector<TopLevelWindow> windows;
};

// The EnumWindows callback: records the window and its process; never lets an exception out.
BOOL CALLBACK collectWindow(HWND window, LPARAM context) noexcept {
    auto* pass = reinterpret_cast<Enumeration*>(context);
    ZENDRA_TRY {
        DWORD processId = 0;
        if (pass->api->getWindowThreadProcessId != nullptr) pass->api->getWindowThreadProcessId(window, &processId);
        pass->windows.push_back({window, processId});
        return TRUE;
    } ZENDRA_CATCH_ALL {
        return FALSE;  // out of memory: the windows so far
    }
}

HWND toWindow(WindowRef window) { return static_cast<HWND>(window); }

// Whether a handle leads to an open file, pipe or console.
bool leadsSomewhere(HANDLE handle) {
    if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
    ::SetLastError(NO_ERROR);
    return ::GetFileType(handle) != FILE_TYPE_UNKNOWN || ::GetLastError() == NO_ERROR;
}

// The system handle behind a C runtime stream (invalid when the stream has none).
HANDLE streamHandle(std::FILE* stream) {
    const int descriptor = _fileno(stream);
    if (descriptor < 0) return INVALID_HANDLE_VALUE;
    return reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
}

// One standard stream and the console device that can take its place.
struct StandardStream {
    std::FILE* stream;
    DWORD id;
    const char* device;
    const char* mode;
    int openFlags;
};

// Gives a stream without any descriptor one on the device, so that freopen accepts it. Wine's
// C runtime gives the standard streams of a process started without standard handles the
// descriptor -2, and its freopen refuses such a stream. The layout is msvcrt's FILE.
void giveDescriptor(const StandardStream& s) {
#ifndef _UCRT
    const int descriptor = _open(s.device, s.openFlags);
    if (descriptor >= 0) s.stream->_file = descriptor;
#else
    static_cast<void>(s);
#endif
}

// Connects the C runtime stream to the console when it leads nowhere, and the standard
// handle (which other runtimes in the process read, such as a VM's) when it is missing.
void reopenOnConsole(const StandardStream& s) {
    if (!leadsSomewhere(streamHandle(s.stream))) {
        if (_fileno(s.stream) < 0) giveDescriptor(s);
        if (std::freopen(s.device, s.mode, s.stream) == nullptr) return;
    }
    const HANDLE connected = streamHandle(s.stream);
    if (!leadsSomewhere(::GetStdHandle(s.id)) && leadsSomewhere(connected)) ::SetStdHandle(s.id, connected);
}

// Keeps the standard handles that lead somewhere (a redirection to a file or pipe) across a
// console change: AttachConsole and AllocConsole may install the console's own handles.
class KeepRedirections {
public:
    KeepRedirections() {
        for (std::size_t i = 0; i < kIds.size(); ++i) {
            const HANDLE handle = ::GetStdHandle(kIds[i]);
            saved_[i] = leadsSomewhere(handle) ? handle : nullptr;
        }
    }
    KeepRedirections(const KeepRedirections&) = delete;
    KeepRedirections& operator=(const KeepRedirections&) = delete;
    ~KeepRedirections() {
        for (std::size_t i = 0; i < kIds.size(); ++i) {
            if (saved_[i] != nullptr && ::GetStdHandle(kIds[i]) != saved_[i]) ::SetStdHandle(kIds[i], saved_[i]);
        }
    }

private:
    static constexpr std::array<DWORD, 3> kIds{STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
    std::array<HANDLE, 3> saved_{};
};

}  // namespace

std::vector<TopLevelWindow> WinDesktop::topLevelWindows() {
    Enumeration pass{&user32(), {}};
    if (pass.api->enumWindows != nullptr) pass.api->enumWindows(collectWindow, reinterpret_cast<LPARAM>(&pass));
    return std::move(pass.windows);
}

bool WinDesktop::isVisible(WindowRef window) {
    const auto fn = user32().isWindowVisible;
    return fn != nullptr && fn(toWindow(window));
}

bool WinDesktop::isMinimised(WindowRef window) {
    const auto fn = user32().isIconic;
    return fn != nullptr && fn(toWindow(window));
}

void WinDesktop::showRestored(WindowRef window) {
    if (const auto fn = user32().showWindow) fn(toWindow(window), SW_RESTORE);
}

bool WinDesktop::setForeground(WindowRef window) {
    const auto fn = user32().setForegroundWindow;
    return fn != nullptr && fn(toWindow(window));
}

WindowRef WinDesktop::lastActivePopup(WindowRef window) {
    const auto fn = user32().getLastActivePopup;
    const HWND popup = fn != nullptr ? fn(toWindow(window)) : nullptr;
    return popup != nullptr ? popup : window;
}

std::optional<std::u16string> WinDesktop::consoleTitle() {
    // A console title is shorter than 64 KB.
    std::u16string buffer(32768, u'\0');
    const DWORD length = ::GetConsoleTitleW(asWide(buffer), static_cast<DWORD>(buffer.size()));
    if (length == 0) return std::nullopt;
    buffer.resize(std::min<std::size_t>(length, buffer.size() - 1));
    return buffer;
}

bool WinDesktop::setConsoleTitle(const std::u16string& title) {
    return ::SetConsoleTitleW(asWide(title)) != FALSE;
}

WindowRef WinDesktop::findWindowByTitle(const std::u16string& title) {
    const auto fn = user32().findWindowW;
    return fn != nullptr ? fn(nullptr, asWide(title)) : nullptr;
}

ConsoleAttach WinDesktop::attachParentConsole() {
    using AttachConsoleFn = BOOL(WINAPI*)(DWORD);
    const auto attach = findProcedure<AttachConsoleFn>(::GetModuleHandleW(L"Kernel32.DLL"), "AttachConsole");
    if (attach == nullptr) return ConsoleAttach::Unavailable;
    const KeepRedirections keep;
    if (attach(ATTACH_PARENT_PROCESS)) return ConsoleAttach::Attached;
    const DWORD error = ::GetLastError();
    return error == ERROR_ACCESS_DENIED ? ConsoleAttach::AlreadyAttached : ConsoleAttach::Failed;
}

bool WinDesktop::allocateConsole() {
    const KeepRedirections keep;
    return ::AllocConsole() != FALSE;
}

void WinDesktop::reopenStandardStreams() {
    // Each standard stream that leads nowhere is connected to the console.
    reopenOnConsole({stdin, STD_INPUT_HANDLE, "CONIN$", "r", _O_RDONLY});
    reopenOnConsole({stdout, STD_OUTPUT_HANDLE, "CONOUT$", "w", _O_WRONLY});
    reopenOnConsole({stderr, STD_ERROR_HANDLE, "CONOUT$", "w", _O_WRONLY});
}

std::uint32_t WinDesktop::tickCount() {
    return ::GetTickCount();
}

void WinDesktop::sleep(std::uint32_t milliseconds) {
    ::Sleep(milliseconds);
}

bool WinDesktop::enablePrivilege(const std::string& name) {
    HANDLE raw = nullptr;
    if (!::OpenProcessToken(::GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw)) return false;
    const UniqueHandle token(raw);
    TOKEN_PRIVILEGES privileges{};
    privileges.PrivilegeCount = 1;
    privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    if (!::LookupPrivilegeValueA(nullptr, name.c_str(), &privileges.Privileges[0].Luid)) return false;
    const BOOL adjusted = ::AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
    // Success may still carry ERROR_NOT_ALL_ASSIGNED: only a clean status counts.
    const DWORD status = ::GetLastError();
    return adjusted && status == ERROR_SUCCESS;
}

bool WinDesktop::restartSystem() {
    const auto fn = user32().exitWindowsEx;
    return fn != nullptr && fn(EWX_REBOOT, 0);
}

}  // namespace zendra::win
