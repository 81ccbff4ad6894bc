// SHA-256 for the packaging tool, by the system's own implementation: OpenSSL on Linux, the
// cryptography API (CNG) on Windows.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zendra::pack {

// The SHA-256 of bytes as 64 lower-case hex digits; throws PackError when the system fails.
std::string sha256Hex(const std::vector<std::uint8_t>& data);

}  // namespace zendra::pack
