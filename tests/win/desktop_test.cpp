// Desktop services: top-level windows and their activation, console titles, console attachment.
// The system restart and the privilege it needs are never called here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>

#include "handles.h"
#include "process_windows.h"
#include "property_ids.h"
#include "test_directory.h"
#include "win32.h"
#include "win_desktop.h"
#include "win_platform.h"

namespace zendra::win {
namespace {

constexpr const char* kChildOut = "ZENDRA_DESKTOP_CHILD_OUT";

// A top-level window of a test class, shown as asked; destroyed with the object.
class TestWindow {
public:
    explicit TestWindow(const std::wstring& title, int show = SW_SHOWNORMAL, HWND owner = nullptr) {
        static const ATOM windowClass = [] {
            WNDCLASSW definition{};
            definition.lpfnWndProc = ::DefWindowProcW;
            definition.hInstance = ::GetModuleHandleW(nullptr);
            definition.lpszClassName = L"ZendraDesktopTestWindow";
            return ::RegisterClassW(&definition);
        }();
        window_ = ::CreateWindowExW(0, MAKEINTATOM(windowClass), title.c_str(), WS_OVERLAPPEDWINDOW, 10, 10, 200, 100,
                                    owner, nullptr, ::GetModuleHandleW(nullptr), nullptr);
        if (window_ != nullptr) ::ShowWindow(window_, show);
    }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;
    ~TestWindow() {
        if (window_ != nullptr) ::DestroyWindow(window_);
    }
    HWND get() const { return window_; }

private:
    HWND window_ = nullptr;
};

// A title no other window has.
std::wstring uniqueTitle(const wchar_t* stem) {
    return std::wstring(stem) + L" " + std::to_wstring(::GetCurrentProcessId()) + L"." +
           std::to_wstring(::GetTickCount());
}

bool listed(const std::vector<TopLevelWindow>& windows, HWND window, std::uint32_t processId) {
    return std::any_of(windows.begin(), windows.end(),
                       [&](const TopLevelWindow& w) { return w.window == window && w.processId == processId; });
}

TEST(Desktop, EnumerationFindsOwnWindowsWithTheirProcess) {
    WinDesktop desktop;
    const std::wstring title = uniqueTitle(L"Zendra enumeration");
    TestWindow shown(title);
    TestWindow hidden(uniqueTitle(L"Zendra hidden"), SW_HIDE);
    ASSERT_NE(shown.get(), nullptr);
    const std::vector<TopLevelWindow> windows = desktop.topLevelWindows();
    EXPECT_TRUE(listed(windows, shown.get(), ::GetCurrentProcessId()));
    EXPECT_TRUE(listed(windows, hidden.get(), ::GetCurrentProcessId()));
    EXPECT_TRUE(desktop.isVisible(shown.get()));
    EXPECT_FALSE(desktop.isVisible(hidden.get()));
    EXPECT_EQ(desktop.findWindowByTitle(std::u16string(title.begin(), title.end())), shown.get());
    EXPECT_EQ(desktop.findWindowByTitle(u"Zendra: no window has this title"), nullptr);
}

TEST(Desktop, MinimisedWindowIsRestoredAndBroughtToTheFront) {
    WinDesktop desktop;
    TestWindow other(uniqueTitle(L"Zendra other"));
    TestWindow window(uniqueTitle(L"Zendra minimised"), SW_MINIMIZE);
    ASSERT_NE(window.get(), nullptr);
    EXPECT_TRUE(desktop.isMinimised(window.get()));
    desktop.showRestored(window.get());
    EXPECT_FALSE(desktop.isMinimised(window.get()));
    EXPECT_TRUE(desktop.isVisible(window.get()));
    EXPECT_TRUE(desktop.setForeground(other.get()));
    EXPECT_EQ(::GetForegroundWindow(), other.get());
    EXPECT_TRUE(desktop.setForeground(window.get()));
    EXPECT_EQ(::GetForegroundWindow(), window.get());
}

TEST(Desktop, LastActivePopupIsTheOwnedWindowThatWasActive) {
    WinDesktop desktop;
    TestWindow owner(uniqueTitle(L"Zendra owner"));
    ASSERT_NE(owner.get(), nullptr);
    EXPECT_EQ(desktop.lastActivePopup(owner.get()), owner.get());
    TestWindow popup(uniqueTitle(L"Zendra popup"), SW_SHOWNORMAL, owner.get());
    ::SetActiveWindow(popup.get());
    EXPECT_EQ(desktop.lastActivePopup(owner.get()), popup.get());
}

// The core's counting and activation over the Win32 services.
TEST(Desktop, ProcessWindowsAreCountedAndActivated) {
    Launcher l(processPlatform().platform(), LauncherKind::App);
    l.store.setProperty(prop::launcherType, "1");  // a GUI executable: no console lookup
    const std::uint32_t self = ::GetCurrentProcessId();
    const int before = countProcessWindows(l, self);
    TestWindow first(uniqueTitle(L"Zendra first"));
    TestWindow minimised(uniqueTitle(L"Zendra second"), SW_MINIMIZE);
    TestWindow hidden(uniqueTitle(L"Zendra hidden"), SW_HIDE);
    EXPECT_EQ(countProcessWindows(l, self), before + 2);

    activateProcessWindows(l, self, false);
    EXPECT_TRUE(::IsIconic(minimised.get()));
    activateProcessWindows(l, self, true);
    EXPECT_FALSE(::IsIconic(minimised.get()));
    const HWND front = ::GetForegroundWindow();
    EXPECT_TRUE(front == first.get() || front == minimised.get());
    EXPECT_EQ(countProcessWindows(l, 0x7ffffff0), 0);  // no such process
}

// --- children: consoles can only be tried in a process of their own ----------------------------

// Runs this program's child case; returns its exit code (or -1). creation: CreateProcess
// flags; output: the file for the child's standard output and error, or empty to pass none.
int runChild(const std::string& testName, const std::string& resultFile, DWORD creation,
             const std::string& output = {}, bool throughCmd = false) {
    wchar_t self[MAX_PATH];
    ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring command = L"\"" + std::wstring(self) + L"\" --gtest_filter=DISABLED_DesktopChild." +
                           std::wstring(testName.begin(), testName.end()) + L" --gtest_also_run_disabled_tests";
    if (throughCmd) command = L"cmd.exe /c \"" + command + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    UniqueHandle file;
    if (!output.empty()) {
        SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
        file.reset(::CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                                 CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return -1;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = nullptr;
        startup.hStdOutput = file.get();
        startup.hStdError = file.get();
    }
    ::SetEnvironmentVariableA(kChildOut, resultFile.c_str());
    PROCESS_INFORMATION info{};
    const BOOL started = ::CreateProcessW(nullptr, command.data(), nullptr, nullptr, file.valid(), creation, nullptr,
                                          nullptr, &startup, &info);
    ::SetEnvironmentVariableA(kChildOut, nullptr);
    if (!started) return -1;
    UniqueHandle thread(info.hThread);
    UniqueHandle process(info.hProcess);
    if (::WaitForSingleObject(process.get(), 60000) != WAIT_OBJECT_0) {
        ::TerminateProcess(process.get(), 1);
        return -1;
    }
    DWORD code = 1;
    ::GetExitCodeProcess(process.get(), &code);
    return static_cast<int>(code);
}

// The "name=value" lines of a child's result file.
std::map<std::string, std::string> results(const std::string& path) {
    std::map<std::string, std::string> values;
    const std::string text = test::readRawFile(path);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        const std::string line = text.substr(start, end - start);
        if (const std::size_t equals = line.find('='); equals != std::string::npos) {
            values[line.substr(0, equals)] = line.substr(equals + 1);
        }
        start = end + 1;
    }
    return values;
}

// Appends a "name=value" line to the result file the parent named.
void report(const std::string& name, const std::string& value) {
    const char* path = std::getenv(kChildOut);
    if (path == nullptr) return;
    const std::string line = name + "=" + value + "\n";
    UniqueHandle file(::CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (file) ::WriteFile(file.get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

bool isConsole(HANDLE handle) {
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE && ::GetConsoleMode(handle, &mode);
}

// What the console screen shows in its first lines (empty without a console).
std::string screenText() {
    UniqueHandle screen(::CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                      nullptr, OPEN_EXISTING, 0, nullptr));
    CONSOLE_SCREEN_BUFFER_INFO info{};
    if (!screen || !::GetConsoleScreenBufferInfo(screen.get(), &info)) return {};
    std::string text(static_cast<std::size_t>(info.dwSize.X) * 10, ' ');
    DWORD read = 0;
    ::ReadConsoleOutputCharacterA(screen.get(), text.data(), static_cast<DWORD>(text.size()), COORD{0, 0}, &read);
    text.resize(read);
    return text;
}

// In a console of its own: the title can be read, changed and restored, and the console
// window is found by the title.
TEST(DISABLED_DesktopChild, ConsoleTitle) {
    WinDesktop desktop;
    const std::optional<std::u16string> original = desktop.consoleTitle();
    ASSERT_TRUE(original.has_value());
    const std::u16string changed = u"Zendra \u4e2d title";
    ASSERT_TRUE(desktop.setConsoleTitle(changed));
    EXPECT_EQ(desktop.consoleTitle(), changed);
    ASSERT_TRUE(desktop.setConsoleTitle(*original));

    Launcher l(processPlatform().platform(), LauncherKind::App);
    const WindowRef found = findConsoleWindow(l);
    report("console-window", ::GetConsoleWindow() != nullptr ? "yes" : "no");
    report("found", found == ::GetConsoleWindow() ? "same" : found == nullptr ? "none" : "other");
    EXPECT_EQ(desktop.consoleTitle(), original);
    if (::GetConsoleWindow() != nullptr) {
        EXPECT_EQ(found, ::GetConsoleWindow());
    }
}

// Attaches as the launchers do and reports what happened.
TEST(DISABLED_DesktopChild, Attach) {
    WinDesktop desktop;
    report("before", isConsole(::GetStdHandle(STD_OUTPUT_HANDLE)) ? "console" : "other");
    const ConsoleAttach attached = desktop.attachParentConsole();
    report("attach", std::to_string(static_cast<int>(attached)));
    bool haveConsole = attached == ConsoleAttach::Attached || attached == ConsoleAttach::AlreadyAttached;
    if (!haveConsole) {
        haveConsole = desktop.allocateConsole();
        report("allocate", haveConsole ? "yes" : "no");
    }
    if (attached != ConsoleAttach::AlreadyAttached) desktop.reopenStandardStreams();
    report("codepage", std::to_string(::GetConsoleOutputCP()));
    report("stdout", isConsole(::GetStdHandle(STD_OUTPUT_HANDLE)) ? "console" : "other");
    std::printf("printed after attach\n");
    std::fflush(stdout);
    const char marker[] = "written after attach\n";
    DWORD written = 0;
    report("write", ::WriteFile(::GetStdHandle(STD_OUTPUT_HANDLE), marker, sizeof marker - 1, &written, nullptr)
                        ? "ok"
                        : "failed");
    const std::string screen = screenText();
    report("screen-printed", screen.find("printed after attach") != std::string::npos ? "yes" : "no");
    report("screen-written", screen.find("written after attach") != std::string::npos ? "yes" : "no");
}

TEST(Desktop, ConsoleTitleAndWindowInANewConsole) {
    test::TestDirectory dir;
    const std::string result = dir.file("result.txt");
    const std::string output = dir.file("output.txt");
    EXPECT_EQ(runChild("ConsoleTitle", result, CREATE_NEW_CONSOLE, output), 0) << test::readRawFile(output);
    auto values = results(result);
    EXPECT_EQ(values["found"], values["console-window"] == "yes" ? "same" : "none");
    std::printf("[ measured ] new console: window %s, found by title: %s\n", values["console-window"].c_str(),
                values["found"].c_str());
}

TEST(Desktop, UnderCmdTheConsoleIsAlreadyThere) {
    test::TestDirectory dir;
    const std::string result = dir.file("result.txt");
    EXPECT_EQ(runChild("Attach", result, 0, {}, true), 0);
    auto values = results(result);
    EXPECT_EQ(values["attach"], std::to_string(static_cast<int>(ConsoleAttach::AlreadyAttached)));
    EXPECT_EQ(values.count("allocate"), 0u);
    std::printf("[ measured ] under cmd /c: attach %s, code page %s, stdout %s\n", values["attach"].c_str(),
                values["codepage"].c_str(), values["stdout"].c_str());
}

TEST(Desktop, WithoutConsoleOneIsAllocatedAndTheStreamsLeadToIt) {
    test::TestDirectory dir;
    const std::string result = dir.file("result.txt");
    EXPECT_EQ(runChild("Attach", result, DETACHED_PROCESS), 0);
    auto values = results(result);
    EXPECT_EQ(values["before"], "other");
    EXPECT_EQ(values["attach"], std::to_string(static_cast<int>(ConsoleAttach::Failed)));
    EXPECT_EQ(values["allocate"], "yes");
    EXPECT_EQ(values["stdout"], "console");
    EXPECT_EQ(values["write"], "ok");
    // Both the C runtime's stream and the system's standard handle reach the new console.
    EXPECT_EQ(values["screen-printed"], "yes");
    EXPECT_EQ(values["screen-written"], "yes");
    EXPECT_NE(values["codepage"], "0");
    std::printf("[ measured ] detached: attach %s, allocate %s, code page %s\n", values["attach"].c_str(),
                values["allocate"].c_str(), values["codepage"].c_str());
}

TEST(Desktop, RedirectedOutputStaysRedirected) {
    test::TestDirectory dir;
    const std::string result = dir.file("result.txt");
    const std::string output = dir.file("output.txt");
    EXPECT_EQ(runChild("Attach", result, DETACHED_PROCESS, output), 0);
    auto values = results(result);
    EXPECT_EQ(values["stdout"], "other");
    EXPECT_EQ(values["screen-printed"], "no");
    EXPECT_EQ(values["screen-written"], "no");
    const std::string text = test::readRawFile(output);
    EXPECT_NE(text.find("printed after attach"), std::string::npos) << text;
    EXPECT_NE(text.find("written after attach"), std::string::npos) << text;
}

}  // namespace
}  // namespace zendra::win
