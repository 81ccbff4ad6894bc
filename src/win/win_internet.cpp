#include "win_internet.h"

#include <algorithm>
#include <iterator>
#include <string>

#include "concurrency.h"
#include "handles.h"
// After win32.h (through handles.h): the types and constants of the Internet client.
#include <wininet.h>

namespace zendra::win {
namespace {

// The six entry points of wininet.dll, resolved by name.
struct Wininet {
    decltype(&::InternetOpenUrlA) openUrl = nullptr;
    decltype(&::InternetOpenA) open = nullptr;
    decltype(&::HttpQueryInfoA) queryInfo = nullptr;
    decltype(&::InternetAttemptConnect) attemptConnect = nullptr;
    decltype(&::InternetCloseHandle) closeHandle = nullptr;
    decltype(&::InternetReadFile) readFile = nullptr;
};

Wininet wininet;  // filled once by load(), read-only afterwards
OnceFlag loadOnce;
setup::InternetLoad loadResult = setup::InternetLoad::NoLibrary;

// Handles of the Internet client, closed with its own InternetCloseHandle.
struct InternetHandleTraits {
    using Value = HINTERNET;
    static Value invalid() noexcept { return nullptr; }
    static bool isInvalid(Value value) noexcept { return value == nullptr; }
    static void close(Value value) noexcept { wininet.closeHandle(value); }
};
using UniqueInternetHandle = UniqueResource<InternetHandleTraits>;

// wininet.dll of the system directory, never one lying beside the installer.
HMODULE loadLibrary() {
    constexpr wchar_t kName[] = L"\\wininet.dll";
    wchar_t path[MAX_PATH + std::size(kName)];
    const UINT length = ::GetSystemDirectoryW(path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return ::LoadLibraryW(kName + 1);
    std::copy(std::begin(kName), std::end(kName), path + length);
    return ::LoadLibraryW(path);
}

setup::InternetLoad loadApi() {
    const HMODULE module = loadLibrary();
    if (module == nullptr) return setup::InternetLoad::NoLibrary;
    Wininet found;
    found.openUrl = findProcedure<decltype(found.openUrl)>(module, "InternetOpenUrlA");
    found.open = findProcedure<decltype(found.open)>(module, "InternetOpenA");
    found.queryInfo = findProcedure<decltype(found.queryInfo)>(module, "HttpQueryInfoA");
    found.attemptConnect = findProcedure<decltype(found.attemptConnect)>(module, "InternetAttemptConnect");
    found.closeHandle = findProcedure<decltype(found.closeHandle)>(module, "InternetCloseHandle");
    found.readFile = findProcedure<decltype(found.readFile)>(module, "InternetReadFile");
    if (!found.openUrl || !found.open || !found.queryInfo || !found.attemptConnect || !found.closeHandle ||
        !found.readFile) {
        ::FreeLibrary(module);
        return setup::InternetLoad::NoFunctions;
    }
    wininet = found;
    return setup::InternetLoad::Ready;
}

// A number from the answer's headers (HTTP_QUERY_FLAG_NUMBER).
std::optional<std::uint32_t> queryNumber(HINTERNET request, DWORD what, std::uint32_t& error) {
    DWORD value = 0;
    DWORD size = sizeof value;
    if (!wininet.queryInfo(request, what | HTTP_QUERY_FLAG_NUMBER, &value, &size, nullptr)) {
        error = ::GetLastError();
        return std::nullopt;
    }
    return value;
}

class WinInternetRequest final : public setup::InternetRequest {
public:
    explicit WinInternetRequest(UniqueInternetHandle handle) : handle_(std::move(handle)) {}
    std::optional<std::uint32_t> statusCode(std::uint32_t& error) override {
        return queryNumber(handle_.get(), HTTP_QUERY_STATUS_CODE, error);
    }
    std::optional<std::uint32_t> contentLength(std::uint32_t& error) override {
        return queryNumber(handle_.get(), HTTP_QUERY_CONTENT_LENGTH, error);
    }
    IoResult read(void* buffer, std::size_t size) override {
        DWORD got = 0;
        if (!wininet.readFile(handle_.get(), buffer, static_cast<DWORD>(size), &got)) {
            const DWORD error = ::GetLastError();
            return {0, error, false};
        }
        return {got, 0, true};
    }
    const void* handleValue() const override { return handle_.get(); }

private:
    UniqueInternetHandle handle_;
};

class WinInternetSession final : public setup::InternetSession {
public:
    explicit WinInternetSession(UniqueInternetHandle handle) : handle_(std::move(handle)) {}
    std::unique_ptr<setup::InternetRequest> openUrl(const std::string& url, std::uint32_t& error) override {
        UniqueInternetHandle request(wininet.openUrl(handle_.get(), url.c_str(), nullptr, 0,
                                                 INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PASSIVE, 0));
        if (!request) {
            error = ::GetLastError();
            return nullptr;
        }
        return std::make_unique<WinInternetRequest>(std::move(request));
    }

private:
    UniqueInternetHandle handle_;
};

}  // namespace

setup::InternetLoad WinInternetClient::load() {
    callOnce(loadOnce, [] { loadResult = loadApi(); });
    return loadResult;
}

std::uint32_t WinInternetClient::attemptConnect() {
    return wininet.attemptConnect(0);
}

std::unique_ptr<setup::InternetSession> WinInternetClient::openSession(const std::string& userAgent,
                                                                       std::uint32_t& error) {
    UniqueInternetHandle session(wininet.open(userAgent.c_str(), INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0));
    if (!session) {
        error = ::GetLastError();
        return nullptr;
    }
    return std::make_unique<WinInternetSession>(std::move(session));
}

}  // namespace zendra::win
