#include "win_hashing.h"

#include "handles.h"
// After win32.h (through handles.h): the cryptography API.
#include <bcrypt.h>

namespace zendra::win {
namespace {

// An open algorithm provider.
struct AlgorithmTraits {
    using Value = BCRYPT_ALG_HANDLE;
    static Value invalid() noexcept { return nullptr; }
    static bool isInvalid(Value value) noexcept { return value == nullptr; }
    static void close(Value value) noexcept { ::BCryptCloseAlgorithmProvider(value, 0); }
};

// A hash object.
struct HashTraits {
    using Value = BCRYPT_HASH_HANDLE;
    static Value invalid() noexcept { return nullptr; }
    static bool isInvalid(Value value) noexcept { return value == nullptr; }
    static void close(Value value) noexcept { ::BCryptDestroyHash(value); }
};

bool succeeded(NTSTATUS status) { return status >= 0; }

class WinSha256 final : public setup::Sha256 {
public:
    WinSha256(UniqueResource<AlgorithmTraits> algorithm, UniqueResource<HashTraits> hash)
        : algorithm_(std::move(algorithm)), hash_(std::move(hash)) {}
    bool update(const void* data, std::size_t size) override {
        auto* bytes = static_cast<UCHAR*>(const_cast<void*>(data));  // the API's parameter is not const
        while (size > 0) {
            const ULONG part = size > 0x40000000u ? 0x40000000u : static_cast<ULONG>(size);
            if (!succeeded(::BCryptHashData(hash_.get(), bytes, part, 0))) return false;
            bytes += part;
            size -= part;
        }
        return true;
    }
    std::optional<setup::Sha256Digest> finish() override {
        setup::Sha256Digest digest{};
        if (!succeeded(::BCryptFinishHash(hash_.get(), digest.data(), static_cast<ULONG>(digest.size()), 0))) {
            return std::nullopt;
        }
        return digest;
    }

private:
    UniqueResource<AlgorithmTraits> algorithm_;  // outlives the hash object
    UniqueResource<HashTraits> hash_;
};

}  // namespace

std::unique_ptr<setup::Sha256> WinHashing::sha256(std::uint32_t& error) {
    BCRYPT_ALG_HANDLE opened = nullptr;
    NTSTATUS status = ::BCryptOpenAlgorithmProvider(&opened, BCRYPT_SHA256_ALGORITHM, nullptr, 0);
    if (!succeeded(status)) {
        error = static_cast<std::uint32_t>(status);
        return nullptr;
    }
    UniqueResource<AlgorithmTraits> algorithm(opened);
    BCRYPT_HASH_HANDLE created = nullptr;
    status = ::BCryptCreateHash(algorithm.get(), &created, nullptr, 0, nullptr, 0, 0);
    if (!succeeded(status)) {
        error = static_cast<std::uint32_t>(status);
        return nullptr;
    }
    return std::make_unique<WinSha256>(std::move(algorithm), UniqueResource<HashTraits>(created));
}

}  // namespace zendra::win
