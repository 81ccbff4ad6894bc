// SHA-256 as the system computes it, for checking downloaded files. The Windows layer
// implements it with the system's cryptography API.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

namespace zendra::setup {

// A SHA-256 digest.
using Sha256Digest = std::array<std::uint8_t, 32>;

// A SHA-256 computation over bytes given in parts.
class Sha256 {
public:
    virtual ~Sha256() = default;
    // Adds bytes; false when the system failed.
    virtual bool update(const void* data, std::size_t size) = 0;
    // The digest of every byte added; nullopt when the system failed.
    virtual std::optional<Sha256Digest> finish() = 0;
};

// The system's hashing.
class Hashing {
public:
    virtual ~Hashing() = default;
    // A new SHA-256 computation; nullptr and the system error when none can be had.
    virtual std::unique_ptr<Sha256> sha256(std::uint32_t& error) = 0;
};

}  // namespace zendra::setup
