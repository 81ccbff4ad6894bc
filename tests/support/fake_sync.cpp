#include "fake_sync.h"

#include <stdexcept>
#include <utility>

#include "fake_platform.h"

namespace zendra::test {
namespace {

constexpr std::uint32_t kAccessDenied = 5;
constexpr std::uint32_t kInvalidHandle = 6;
constexpr std::uint32_t kDiskFull = 112;
constexpr std::uint32_t kTooManyPosts = 298;

// A handle on one entry of a shared semaphore table.
class FakeSemaphore final : public NamedSemaphore {
public:
    FakeSemaphore(FakeSynchronization& owner, std::shared_ptr<FakeSemaphoreTable> table, std::string name,
                  std::uintptr_t handle)
        : owner_(owner), table_(std::move(table)), name_(std::move(name)), handle_(handle) {}
    ~FakeSemaphore() override {
        auto it = table_->entries.find(name_);
        if (it != table_->entries.end() && --it->second.handles == 0) table_->entries.erase(it);
    }
    std::uint32_t wait() override {
        owner_.waits.push_back(name_);
        FakeSemaphoreTable::Entry& entry = table_->entries.at(name_);
        if (entry.count == 0 && owner_.whileBlocked) std::exchange(owner_.whileBlocked, nullptr)();
        if (entry.count == 0) throw FakeDeadlock{name_};
        --entry.count;
        return kWaitTaken;
    }
    bool release(std::uint32_t& error) override {
        FakeSemaphoreTable::Entry& entry = table_->entries.at(name_);
        if (owner_.releasesFail) {
            error = kInvalidHandle;
            return false;
        }
        if (entry.count >= entry.maximum) {
            error = kTooManyPosts;
            return false;
        }
        ++entry.count;
        owner_.releases.push_back(name_);
        return true;
    }
    const void* handleValue() const override { return reinterpret_cast<const void*>(handle_); }

private:
    FakeSynchronization& owner_;
    std::shared_ptr<FakeSemaphoreTable> table_;
    std::string name_;
    std::uintptr_t handle_;
};

// A file whose writes all fail, as on a full disk.
class UnwritableFile final : public File {
public:
    explicit UnwritableFile(std::unique_ptr<File> inner) : inner_(std::move(inner)) {}
    IoResult read(void* buffer, std::size_t size) override { return inner_->read(buffer, size); }
    IoResult write(const void*, std::size_t) override { return {0, kDiskFull, false}; }
    bool seek(std::uint64_t position) override { return inner_->seek(position); }
    std::uint64_t position() override { return inner_->position(); }
    std::optional<std::uint64_t> size() override { return inner_->size(); }

private:
    std::unique_ptr<File> inner_;
};

// UTF-16LE bytes as text (an odd last byte is dropped).
std::u16string fromUtf16Le(const std::string& bytes) {
    std::u16string text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                             (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    return text;
}

}  // namespace

std::int32_t FakeSemaphoreTable::count(const std::string& name) const {
    auto it = entries.find(name);
    return it == entries.end() ? -1 : it->second.count;
}

std::unique_ptr<NamedSemaphore> FakeSynchronization::open(const std::string& name, std::int32_t initialCount,
                                                          std::int32_t maximumCount, bool& existed) {
    auto [it, inserted] = semaphores->entries.try_emplace(name);
    existed = !inserted;
    if (inserted) {
        it->second.count = initialCount;
        it->second.maximum = maximumCount;
    }
    ++it->second.handles;
    nextHandle_ += 4;
    return std::make_unique<FakeSemaphore>(*this, semaphores, name, nextHandle_);
}

SemaphoreOpening FakeSynchronization::createSemaphore(const std::string& name, std::int32_t initialCount,
                                                      std::int32_t maximumCount) {
    created.push_back(name);
    SemaphoreOpening opening;
    if (failingSemaphores.count(name)) {
        opening.status = kAccessDenied;
        return opening;
    }
    bool existed = false;
    opening.semaphore = open(name, initialCount, maximumCount, existed);
    opening.status = existed ? kErrorAlreadyExists : 0;
    return opening;
}

std::unique_ptr<NamedSemaphore> FakeSynchronization::holdSemaphore(const std::string& name,
                                                                   std::int32_t initialCount,
                                                                   std::int32_t maximumCount) {
    bool existed = false;
    return open(name, initialCount, maximumCount, existed);
}

void FakeSynchronization::sleep(std::uint32_t milliseconds) {
    ++sleeps;
    elapsedMs += milliseconds;
    sleepDurations.push_back(milliseconds);
    auto [first, last] = actions_.equal_range(sleeps);
    std::vector<std::function<void()>> due;
    for (auto it = first; it != last; ++it) due.push_back(it->second);
    actions_.erase(first, last);
    for (auto& action : due) action();
}

std::unique_ptr<File> FakeSynchronization::createNewFile(const std::string& path, std::uint32_t& error) {
    if (files == nullptr) throw std::logic_error("FakeSynchronization::files is not set");
    newFiles.push_back(path);
    if (createNewError != 0) {
        error = createNewError;
        return nullptr;
    }
    if (files->exists(path)) {
        error = kErrorFileExists;
        return nullptr;
    }
    std::unique_ptr<File> file = files->createWrite(path, error);
    if (file && writesFail) return std::make_unique<UnwritableFile>(std::move(file));
    return file;
}

void FakeSynchronization::afterSleeps(int n, std::function<void()> action) {
    actions_.emplace(n, std::move(action));
}

void FakeSynchronization::takeFileAfterSleeps(const std::string& path, int n, std::u16string* taken) {
    afterSleeps(n, [this, path, taken] {
        if (files == nullptr || !files->exists(path)) return;
        if (taken != nullptr) *taken = fromUtf16Le(files->content(path));
        files->deleteFile(path);
    });
}

}  // namespace zendra::test
