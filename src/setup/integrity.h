// The CRC-32 over the data appended to the installer's executable.
#pragma once

#include <cstddef>
#include <cstdint>
#include "installer_progress.h"
#include "platform.h"

namespace zendra::setup {

// Bytes read per step of the integrity check.
inline constexpr std::size_t kIntegrityChunk = 16384;
// Bytes asked of the system per read during the check, handed on in chunks of kIntegrityChunk.
inline constexpr std::size_t kIntegrityReadSize = 16 * kIntegrityChunk;

// The checksum of a stretch of a file, or where reading it stopped short.
struct StreamChecksum {
    std::uint32_t crc = 0;
    bool complete = true;         // false: a read failed or gave nothing before the length
    std::size_t lastRead = 0;     // bytes of the read that stopped it
    std::uint32_t error = 0;      // the system error of that read
    std::int64_t done = 0;        // bytes checked
};

// The CRC-32 of the next length bytes of file, summed in 16384-byte chunks; the bar of progress
// (when there is one) moves to the whole percentage done whenever it has grown.
StreamChecksum checksumStream(File& file, std::int64_t length, InstallerProgress* progress);

}  // namespace zendra::setup
