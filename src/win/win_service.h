// The service control manager, the service dispatcher and the worker child process, on Win32.
#pragma once

#include <string>

#include "platform.h"
#include "platform_service.h"

namespace zendra::win {

// The Win32 ServiceControl. The dispatcher, control and console callbacks of the system
// take no context, so each goes to the events of the last registration of its kind in
// the process.
class WinServiceControl final : public ServiceControl {
public:
    // Converts 8-bit names with the given code-page services.
    explicit WinServiceControl(TextCodec& codec) : codec_(codec) {}
    WinServiceControl(const WinServiceControl&) = delete;
    WinServiceControl& operator=(const WinServiceControl&) = delete;

    // OpenSCManager on this machine's default database.
    std::unique_ptr<ServiceManager> openManager(std::uint32_t access, std::uint32_t& error) override;
    // StartServiceCtrlDispatcher with one own-process entry.
    bool runDispatcher(const std::string& name, ServiceEvents& events, std::uint32_t& error) override;
    // RegisterServiceCtrlHandler; the status handle is kept for setStatus.
    bool registerControlHandler(const std::u16string& name, ServiceEvents& events) override;
    // SetServiceStatus with the registered status handle.
    bool setStatus(const ServiceStatus& status, std::uint32_t& error) override;
    // SetConsoleCtrlHandler with a handler that answers every event as handled.
    void handleConsoleEvents(ServiceEvents& events) override;
    // The two anonymous pipes of a worker, the parent's ends not inherited.
    std::unique_ptr<WorkerProcess> createWorker(PipeStep& failedStep, std::uint32_t& error) override;
    // The C runtime's exit.
    [[noreturn]] void exitNormally(int code) override;

private:
    TextCodec& codec_;
    void* statusHandle_ = nullptr;  // SERVICE_STATUS_HANDLE; not closed
};

}  // namespace zendra::win
