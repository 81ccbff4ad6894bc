#include "win_sync.h"

#include "handles.h"
#include "win_file.h"

namespace zendra::win {
namespace {

// One open semaphore handle.
class WinSemaphore final : public NamedSemaphore {
public:
    explicit WinSemaphore(UniqueHandle handle) noexcept : handle_(std::move(handle)) {}
    std::uint32_t wait() override { return ::WaitForSingleObject(handle_.get(), INFINITE); }
    bool release(std::uint32_t& error) override {
        if (::ReleaseSemaphore(handle_.get(), 1, nullptr)) return true;
        error = ::GetLastError();
        return false;
    }
    const void* handleValue() const override { return handle_.get(); }

private:
    UniqueHandle handle_;
};

}  // namespace

SemaphoreOpening WinSynchronization::createSemaphore(const std::string& name, std::int32_t initialCount,
                                                     std::int32_t maximumCount) {
    // A successful creation need not reset the last error, so it is cleared first.
    ::SetLastError(ERROR_SUCCESS);
    UniqueHandle handle(::CreateSemaphoreA(nullptr, initialCount, maximumCount, name.c_str()));
    SemaphoreOpening opening;
    opening.status = ::GetLastError();
    if (handle) opening.semaphore = std::make_unique<WinSemaphore>(std::move(handle));
    return opening;
}

void WinSynchronization::sleep(std::uint32_t milliseconds) { ::Sleep(milliseconds); }

std::unique_ptr<File> WinSynchronization::createNewFile(const std::string& path, std::uint32_t& error) {
    UniqueHandle handle(
        ::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) {
        error = ::GetLastError();
        return nullptr;
    }
    error = 0;
    return std::make_unique<HandleFile>(std::move(handle));
}

}  // namespace zendra::win
