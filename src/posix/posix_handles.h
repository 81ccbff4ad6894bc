// Owning wrappers for POSIX descriptors: one move-only type per kind of handle.
#pragma once

#include <dirent.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace zendra::posix {

// Owns one value and releases it with Traits::close; Traits::invalid() marks "none".
template <typename Traits>
class UniqueResource {
public:
    using Value = typename Traits::Value;

    // An empty owner.
    UniqueResource() noexcept = default;
    // Takes ownership of value (which may be the invalid marker).
    explicit UniqueResource(Value value) noexcept : value_(value) {}
    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;
    // Moves ownership; the source becomes empty.
    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    // Releases the current value and takes the other's.
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~UniqueResource() { reset(); }

    // The value, still owned.
    Value get() const noexcept { return value_; }
    // Whether a value is owned.
    bool valid() const noexcept { return value_ != Traits::invalid(); }
    // Whether a value is owned.
    explicit operator bool() const noexcept { return valid(); }
    // Gives up ownership without closing.
    Value release() noexcept { return std::exchange(value_, Traits::invalid()); }
    // Closes the current value and takes value.
    void reset(Value value = Traits::invalid()) noexcept {
        Value old = std::exchange(value_, value);
        if (old != Traits::invalid()) Traits::close(old);
    }

private:
    Value value_ = Traits::invalid();
};

// File descriptors (files, directories, pipes, lock files).
struct FdTraits {
    using Value = int;
    static constexpr Value invalid() noexcept { return -1; }
    static void close(Value fd) noexcept { ::close(fd); }
};

// Directory streams from opendir/fdopendir.
struct DirTraits {
    using Value = DIR*;
    static constexpr Value invalid() noexcept { return nullptr; }
    static void close(Value dir) noexcept { ::closedir(dir); }
};

// An owned file descriptor.
using UniqueFd = UniqueResource<FdTraits>;
// An owned directory stream.
using UniqueDir = UniqueResource<DirTraits>;

// Calls f until it stops failing with EINTR; returns its last result.
template <typename Call>
auto retryOnInterrupt(Call call) {
    auto result = call();
    while (result == -1 && errno == EINTR) result = call();
    return result;
}

}  // namespace zendra::posix
