// A minimal PE image for tests that need a launcher file to append a record to.
#pragma once

#include <cstdint>
#include <vector>

namespace zendra::test {

// A PE file with one 512-byte section ending at offset 1024, nothing behind it.
std::vector<std::uint8_t> minimalPe();

}  // namespace zendra::test
