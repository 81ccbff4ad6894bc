#include "win_process_services.h"

#include <cstdlib>
#include <vector>

#include "exit_handlers.h"
#include "handles.h"
#include "text_codec.h"

namespace zendra::win {

namespace {

// The shape of GetLongPathNameW and GetShortPathNameW.
using WidePathFn = DWORD(WINAPI*)(LPCWSTR, LPWSTR, DWORD);
using UserDefaultUiLanguageFn = LANGID(WINAPI*)();

// An export of Kernel32.DLL, which every process has loaded, or nullptr.
template <typename Fn>
Fn kernelProcedure(const char* name) {
    return findProcedure<Fn>(::GetModuleHandleW(L"Kernel32.DLL"), name);
}

// GetModuleFileName of the executable into a buffer that grows until the name fits.
template <typename Char, typename Call>
std::basic_string<Char> moduleFileName(Call call) {
    std::basic_string<Char> buffer(MAX_PATH, Char());
    while (buffer.size() <= 65536) {
        const DWORD length = call(buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return {};
        // A result that fills the buffer completely was truncated.
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.resize(buffer.size() * 2);
    }
    return {};
}

// A wide path service of the GetShortPathNameW kind, growing its buffer as asked.
std::optional<std::u16string> widePathCall(const std::u16string& path, WidePathFn call) {
    std::u16string buffer(MAX_PATH + 1, u'\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD length = call(asWide(path), asWide(buffer), static_cast<DWORD>(buffer.size()));
        if (length == 0) return std::nullopt;
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.assign(length + 1, u'\0');
    }
    return std::nullopt;
}

// A new file for a child's standard error, as an inheritable handle with read and write
// access; an empty owner when the file cannot be created.
UniqueHandle inheritableStderrFile(const std::string& path) {
    const UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                          nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return {};
    HANDLE duplicate = nullptr;
    const HANDLE self = ::GetCurrentProcess();
    if (!::DuplicateHandle(self, file.get(), self, &duplicate, 0, TRUE, DUPLICATE_SAME_ACCESS)) return {};
    return UniqueHandle(duplicate);
}

// How long runHidden waits for a terminated child to be gone, so that it no longer holds
// the standard error file when the caller reads or deletes it.
constexpr DWORD terminationWaitMs = 5000;

}  // namespace

std::u16string WinProcessServices::moduleFileNameW() {
    return moduleFileName<char16_t>([](char16_t* buffer, DWORD size) {
        return ::GetModuleFileNameW(nullptr, reinterpret_cast<wchar_t*>(buffer), size);
    });
}

std::string WinProcessServices::moduleFileNameA() {
    return moduleFileName<char>([](char* buffer, DWORD size) { return ::GetModuleFileNameA(nullptr, buffer, size); });
}

bool WinProcessServices::hasWideLongPath() {
    return kernelProcedure<WidePathFn>("GetLongPathNameW") != nullptr;
}

std::optional<std::u16string> WinProcessServices::longPathNameW(const std::u16string& path) {
    const auto longPathName = kernelProcedure<WidePathFn>("GetLongPathNameW");
    if (longPathName == nullptr) return std::nullopt;
    return widePathCall(path, longPathName);
}

std::optional<std::u16string> WinProcessServices::shortPathNameW(const std::u16string& path) {
    return widePathCall(path, WidePathFn{&::GetShortPathNameW});
}

std::uint32_t WinProcessServices::userDefaultLcid() {
    return ::GetUserDefaultLCID();
}

std::optional<std::uint16_t> WinProcessServices::userDefaultUiLanguage() {
    const auto uiLanguage = kernelProcedure<UserDefaultUiLanguageFn>("GetUserDefaultUILanguage");
    if (uiLanguage == nullptr) return std::nullopt;
    return static_cast<std::uint16_t>(uiLanguage());
}

bool WinProcessServices::startProcess(const std::string& commandLine, std::uint32_t& error) {
    // CreateProcessA may write into the command line, so it gets a private copy.
    std::string writable = commandLine;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessA(nullptr, writable.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS, nullptr,
                          nullptr, &startup, &info)) {
        error = ::GetLastError();
        return false;
    }
    UniqueHandle process(info.hProcess);
    UniqueHandle thread(info.hThread);
    error = 0;
    return true;
}

ChildRun WinProcessServices::runHidden(const std::string& commandLine, const std::optional<std::string>& stderrFile,
                                       std::uint32_t timeoutMs) {
    ChildRun run;
    // Without a file the child simply has no standard error.
    const UniqueHandle errorOutput = stderrFile ? inheritableStderrFile(*stderrFile) : UniqueHandle();
    std::string writable = commandLine;
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    startup.hStdInput = nullptr;
    startup.hStdOutput = nullptr;
    startup.hStdError = errorOutput.get();
    PROCESS_INFORMATION info = {};
    // No console for the child: its only output goes to the file, and a console of its own
    // (hidden or not) costs a console host process, which outlives a short run and keeps
    // every handle it inherited open.
    if (!::CreateProcessA(nullptr, writable.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS | CREATE_NO_WINDOW,
                          nullptr, nullptr, &startup, &info)) {
        run.error = ::GetLastError();
        return run;
    }
    const UniqueHandle process(info.hProcess);
    const UniqueHandle thread(info.hThread);
    run.started = true;
    ::WaitForSingleObject(process.get(), timeoutMs);
    DWORD exitCode = 0;
    if (::GetExitCodeProcess(process.get(), &exitCode)) run.exitCode = exitCode;
    if (exitCode == STILL_ACTIVE) {
        ::TerminateProcess(process.get(), 1);
        ::WaitForSingleObject(process.get(), terminationWaitMs);
        run.terminated = true;
    }
    return run;
}

void WinProcessServices::atNormalExit(std::function<void()> handler) { registerNormalExitHandler(std::move(handler)); }

void WinProcessServices::exitProcess(int code) {
    ::ExitProcess(static_cast<UINT>(code));
}

std::uint32_t WinProcessServices::currentProcessId() { return ::GetCurrentProcessId(); }

std::uint32_t WinProcessServices::consoleOutputCodePage() { return ::GetConsoleOutputCP(); }

}  // namespace zendra::win
