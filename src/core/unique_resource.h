// An owning wrapper for one system handle of any kind, shared by the platform layers.
#pragma once

#include <utility>

namespace zendra {

// Owns one handle and releases it with Traits::close; Traits::invalid() is the empty value
// and Traits::isInvalid tells every value that means "none".
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
    // Releases the current handle and takes the other's.
    UniqueResource& operator=(UniqueResource&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    ~UniqueResource() { reset(); }

    // The handle, still owned.
    Value get() const noexcept { return value_; }
    // Whether a handle is owned.
    bool valid() const noexcept { return !Traits::isInvalid(value_); }
    // Whether a handle is owned.
    explicit operator bool() const noexcept { return valid(); }
    // Gives up ownership without closing.
    Value release() noexcept { return std::exchange(value_, Traits::invalid()); }
    // Closes the current handle and takes value.
    void reset(Value value = Traits::invalid()) noexcept {
        Value old = std::exchange(value_, value);
        if (!Traits::isInvalid(old)) Traits::close(old);
    }

private:
    Value value_ = Traits::invalid();
};

}  // namespace zendra
