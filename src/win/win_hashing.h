// SHA-256 on Windows, through the system's cryptography API (CNG).
#pragma once

#include "hashing.h"

namespace zendra::win {

// SHA-256 hash objects of the system's provider.
class WinHashing final : public setup::Hashing {
public:
    // A new hash object of the SHA-256 provider; error holds the NTSTATUS on failure.
    std::unique_ptr<setup::Sha256> sha256(std::uint32_t& error) override;
};

}  // namespace zendra::win
