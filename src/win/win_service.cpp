#include "win_service.h"

#include <array>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <utility>

#include "guard.h"
#include "handles.h"
#include "text_codec.h"
#include "win32.h"

namespace zendra::win {
namespace {

// Handles of the service control manager and of services.
struct ServiceHandleTraits {
    using Value = SC_HANDLE;
    static Value invalid() noexcept { return nullptr; }
    static bool isInvalid(Value value) noexcept { return value == nullptr; }
    static void close(Value value) noexcept { ::CloseServiceHandle(value); }
};
using UniqueServiceHandle = UniqueResource<ServiceHandleTraits>;

constexpr DWORD kConfigBufferBytes = 8192;
constexpr DWORD kOutputChunk = 8192;
// How long the end of a worker waits for the output thread to see the pipe close.
constexpr DWORD kOutputDrainMs = 2000;

// Where the system's context-free callbacks go.
std::atomic<ServiceEvents*> dispatcherEvents{nullptr};
std::atomic<ServiceEvents*> controlEvents{nullptr};
std::atomic<ServiceEvents*> consoleEvents{nullptr};

ServiceStatus fromNative(const SERVICE_STATUS& s) {
    return {s.dwServiceType, s.dwCurrentState, s.dwControlsAccepted, s.dwWin32ExitCode,
            s.dwServiceSpecificExitCode, s.dwCheckPoint, s.dwWaitHint};
}

SERVICE_STATUS toNative(const ServiceStatus& s) {
    return {s.serviceType, s.currentState, s.controlsAccepted, s.win32ExitCode, s.serviceSpecificExitCode,
            s.checkPoint, s.waitHint};
}

// Names as a sequence of zero-terminated strings ended by one more zero.
std::u16string nameList(const std::vector<std::string>& names, TextCodec& codec) {
    std::u16string list;
    for (const std::string& name : names) {
        list += codec.fromAnsi(name);
        list += u'\0';
    }
    list += u'\0';
    return list;
}

class WinServiceHandle final : public ServiceHandle {
public:
    explicit WinServiceHandle(UniqueServiceHandle handle) : handle_(std::move(handle)) {}

    bool start(std::uint32_t& error) override { return succeeded(::StartServiceW(handle_.get(), 0, nullptr), error); }

    bool control(std::uint32_t code, ServiceStatus& status, std::uint32_t& error) override {
        SERVICE_STATUS native{};
        const bool ok = succeeded(::ControlService(handle_.get(), code, &native), error);
        status = fromNative(native);
        return ok;
    }

    bool queryStatus(ServiceStatus& status, std::uint32_t& error) override {
        SERVICE_STATUS native{};
        const bool ok = succeeded(::QueryServiceStatus(handle_.get(), &native), error);
        status = fromNative(native);
        return ok;
    }

    bool queryStartType(std::uint32_t& startType, std::uint32_t& error, std::uint32_t& bytesNeeded) override {
        // QUERY_SERVICE_CONFIGW holds pointers: the buffer is aligned for them.
        auto buffer = std::make_unique<std::uintptr_t[]>(kConfigBufferBytes / sizeof(std::uintptr_t));
        auto* config = reinterpret_cast<QUERY_SERVICE_CONFIGW*>(buffer.get());
        DWORD needed = 0;
        const bool ok = succeeded(::QueryServiceConfigW(handle_.get(), config, kConfigBufferBytes, &needed), error);
        bytesNeeded = needed;
        if (ok) startType = config->dwStartType;
        return ok;
    }

    bool remove(std::uint32_t& error) override { return succeeded(::DeleteService(handle_.get()), error); }

    void setDescription(const std::u16string& text) override {
        using ChangeConfig2Fn = BOOL(WINAPI*)(SC_HANDLE, DWORD, LPVOID);
        const auto change = findProcedure<ChangeConfig2Fn>(::GetModuleHandleW(L"advapi32.dll"), "ChangeServiceConfig2W");
        if (change == nullptr) return;
        std::u16string copy = text;
        SERVICE_DESCRIPTIONW description{asWide(copy)};
        change(handle_.get(), SERVICE_CONFIG_DESCRIPTION, &description);
    }

private:
    static bool succeeded(BOOL result, std::uint32_t& error) {
        error = result ? 0 : ::GetLastError();
        return result != FALSE;
    }

    UniqueServiceHandle handle_;
};

// The manager connection; 8-bit texts are converted from the ANSI code page for the wide
// calls (the 8-bit creation call of some systems mangles a list of several dependencies).
class WinServiceManager final : public ServiceManager {
public:
    WinServiceManager(UniqueServiceHandle handle, TextCodec& codec) : handle_(std::move(handle)), codec_(codec) {}

    std::unique_ptr<ServiceHandle> open(const std::string& name, std::uint32_t access, std::uint32_t& error) override {
        return wrap(::OpenServiceW(handle_.get(), asWide(codec_.fromAnsi(name)), access), error);
    }

    std::unique_ptr<ServiceHandle> create(const ServiceDefinition& d, std::uint32_t& error) override {
        const std::u16string name = codec_.fromAnsi(d.name);
        const std::u16string dependencies = nameList(d.dependencies, codec_);
        return wrap(::CreateServiceW(handle_.get(), asWide(name), asWide(name), SERVICE_ALL_ACCESS, d.serviceType,
                                     d.startType, SERVICE_ERROR_NORMAL, asWide(codec_.fromAnsi(d.binaryPath)), nullptr,
                                     nullptr, d.dependencies.empty() ? nullptr : asWide(dependencies), nullptr, nullptr),
                    error);
    }

private:
    static std::unique_ptr<ServiceHandle> wrap(SC_HANDLE handle, std::uint32_t& error) {
        if (handle == nullptr) {
            error = ::GetLastError();
            return nullptr;
        }
        return std::make_unique<WinServiceHandle>(UniqueServiceHandle(handle));
    }

    UniqueServiceHandle handle_;
    TextCodec& codec_;
};

// What the output thread owns: the pipe's read end, and whom it tells of its start and end.
struct OutputReader {
    UniqueHandle pipe;
    ServiceEvents& events;
};

DWORD WINAPI readOutput(LPVOID parameter) {
    const std::unique_ptr<OutputReader> reader(static_cast<OutputReader*>(parameter));
    ZENDRA_TRY {
        reader->events.outputReading(false);
        std::array<char, kOutputChunk> chunk{};
        DWORD read = 0;
        while (::ReadFile(reader->pipe.get(), chunk.data(), kOutputChunk, &read, nullptr) && read > 0) {
        }
        reader->events.outputReading(true);
    } ZENDRA_CATCH_ALL {
    }
    return 0;
}

// A new anonymous pipe whose handles the worker may inherit.
bool inheritablePipe(UniqueHandle& read, UniqueHandle& write) {
    SECURITY_ATTRIBUTES attributes{sizeof attributes, nullptr, TRUE};
    HANDLE r = nullptr;
    HANDLE w = nullptr;
    if (!::CreatePipe(&r, &w, &attributes, 0)) return false;
    read.reset(r);
    write.reset(w);
    return true;
}

class WinWorkerProcess final : public WorkerProcess {
public:
    // Creates the two pipes, the worker's ends inheritable; false with the failing step (the
    // system error still to be read).
    bool createPipes(PipeStep& failedStep) {
        failedStep = PipeStep::OutputPipe;
        if (!inheritablePipe(outputRead_, outputWrite_)) return false;
        failedStep = PipeStep::OutputReadEnd;
        if (!::SetHandleInformation(outputRead_.get(), HANDLE_FLAG_INHERIT, 0)) return false;
        failedStep = PipeStep::InputPipe;
        if (!inheritablePipe(inputRead_, inputWrite_)) return false;
        failedStep = PipeStep::InputWriteEnd;
        return ::SetHandleInformation(inputWrite_.get(), HANDLE_FLAG_INHERIT, 0) != FALSE;
    }

    bool start(const std::u16string& commandLine, std::uint32_t priorityClass, std::uint32_t& error) override {
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = inputRead_.get();
        startup.hStdOutput = outputWrite_.get();
        startup.hStdError = outputWrite_.get();
        std::u16string text = commandLine;  // the call may change the buffer
        PROCESS_INFORMATION info{};
        if (!::CreateProcessW(nullptr, asWide(text), nullptr, nullptr, TRUE, priorityClass | DETACHED_PROCESS, nullptr,
                              nullptr, &startup, &info)) {
            error = ::GetLastError();
            return false;
        }
        process_.reset(info.hProcess);
        ::CloseHandle(info.hThread);
        // The worker holds its own copies now; without ours the pipes end with the worker.
        outputWrite_.reset();
        inputRead_.reset();
        return true;
    }

    void discardOutput(ServiceEvents& events) override {
        auto reader = std::make_unique<OutputReader>(OutputReader{std::move(outputRead_), events});
        HANDLE thread = ::CreateThread(nullptr, 0, readOutput, reader.get(), 0, nullptr);
        if (thread == nullptr) return;
        reader.release();
        outputThread_.reset(thread);
    }

    bool sendAndClose(const std::string& text, std::uint32_t& error) override {
        DWORD written = 0;
        const BOOL ok = ::WriteFile(inputWrite_.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
        error = ok ? 0 : ::GetLastError();
        inputWrite_.reset();
        return ok != FALSE;
    }

    std::uint32_t waitForExit() override {
        ::WaitForSingleObject(process_.get(), INFINITE);
        DWORD code = 0;
        ::GetExitCodeProcess(process_.get(), &code);
        // The output thread ends once the pipe has no writer left; a grandchild that
        // inherited the pipe may hold it longer, so the wait is bounded.
        if (outputThread_) ::WaitForSingleObject(outputThread_.get(), kOutputDrainMs);
        return code;
    }

private:
    UniqueHandle outputRead_;
    UniqueHandle outputWrite_;
    UniqueHandle inputRead_;
    UniqueHandle inputWrite_;
    UniqueHandle process_;
    UniqueHandle outputThread_;
};

void WINAPI serviceMainCallback(DWORD count, LPWSTR* vector) {
    ZENDRA_TRY {
        std::vector<std::u16string> arguments(vector != nullptr ? count : 0);
        for (std::size_t i = 0; i < arguments.size(); ++i) arguments[i] = fromWide(vector[i]);
        if (ServiceEvents* events = dispatcherEvents.load()) events->serviceMain(arguments);
    } ZENDRA_CATCH_ALL {
    }
}

void WINAPI controlCallback(DWORD code) {
    ZENDRA_TRY {
        if (ServiceEvents* events = controlEvents.load()) events->control(code);
    } ZENDRA_CATCH_ALL {
    }
}

BOOL WINAPI consoleCallback(DWORD) {
    ZENDRA_TRY {
        if (ServiceEvents* events = consoleEvents.load()) events->consoleEvent();
    } ZENDRA_CATCH_ALL {
    }
    return TRUE;
}

}  // namespace

std::unique_ptr<ServiceManager> WinServiceControl::openManager(std::uint32_t access, std::uint32_t& error) {
    UniqueServiceHandle manager(::OpenSCManagerW(nullptr, nullptr, access));
    if (!manager) {
        error = ::GetLastError();
        return nullptr;
    }
    return std::make_unique<WinServiceManager>(std::move(manager), codec_);
}

bool WinServiceControl::runDispatcher(const std::string& name, ServiceEvents& events, std::uint32_t& error) {
    dispatcherEvents.store(&events);
    std::u16string wideName = codec_.fromAnsi(name);
    SERVICE_TABLE_ENTRYW table[] = {{asWide(wideName), serviceMainCallback}, {nullptr, nullptr}};
    if (::StartServiceCtrlDispatcherW(table)) return true;
    error = ::GetLastError();
    return false;
}

bool WinServiceControl::registerControlHandler(const std::u16string& name, ServiceEvents& events) {
    controlEvents.store(&events);
    SERVICE_STATUS_HANDLE handle = ::RegisterServiceCtrlHandlerW(asWide(name), controlCallback);
    statusHandle_ = handle;
    return handle != nullptr;
}

bool WinServiceControl::setStatus(const ServiceStatus& status, std::uint32_t& error) {
    SERVICE_STATUS native = toNative(status);
    if (::SetServiceStatus(static_cast<SERVICE_STATUS_HANDLE>(statusHandle_), &native)) return true;
    error = ::GetLastError();
    return false;
}

void WinServiceControl::handleConsoleEvents(ServiceEvents& events) {
    consoleEvents.store(&events);
    ::SetConsoleCtrlHandler(consoleCallback, TRUE);
}

std::unique_ptr<WorkerProcess> WinServiceControl::createWorker(PipeStep& failedStep, std::uint32_t& error) {
    auto worker = std::make_unique<WinWorkerProcess>();
    if (worker->createPipes(failedStep)) return worker;
    error = ::GetLastError();
    return nullptr;
}

void WinServiceControl::exitNormally(int code) { std::exit(code); }

}  // namespace zendra::win
