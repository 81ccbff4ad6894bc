// Timings of the installer's archive work on this machine's real file system, for
// bench/archive.py: "untar ARCHIVE TARGET" unpacks like the installer does (log included) and
// prints the seconds; "crc FILE" prints the best seconds of several passes of the integrity
// loop over the file and of zlib's crc32 over the same bytes already in memory.
#include <zlib.h>

#include <time.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "integrity.h"
#include "jre_archive.h"
#include "posix_platform.h"

namespace {

double secondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Processor seconds this thread has used, which waiting for a processor on a busy machine does not add to.
double threadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) / 1e9;
}

int untar(zendra::Platform& os, const std::string& archive, const std::string& target) {
    zendra::Launcher l(os, zendra::LauncherKind::Setup);
    const auto start = std::chrono::steady_clock::now();
    const bool ok = zendra::setup::untarGz(l, archive, target, nullptr, 0);
    std::printf("untar %.4f\n", secondsSince(start));
    return ok ? 0 : 1;
}

// Best of several alternating passes of the check and of crc32 in memory: one pass over the
// ~55 MB file takes 10-20 ms, less than the noise of a shared machine, and the first pass pays
// for warming the processor.
int crc(zendra::Platform& os, const std::string& path) {
    constexpr int kPasses = 5;
    std::uint32_t error = 0;
    std::unique_ptr<zendra::File> file = os.fs.openRead(path, error);
    if (!file) return 1;
    const auto length = static_cast<std::int64_t>(file->size().value_or(0));
    std::vector<std::uint8_t> bytes(static_cast<std::size_t>(length));
    for (std::size_t done = 0; done < bytes.size();) {
        const zendra::IoResult got = file->read(bytes.data() + done, bytes.size() - done);
        if (!got.ok || got.bytes == 0) return 1;
        done += got.bytes;
    }
    const uLong memory = crc32(crc32(0L, Z_NULL, 0), bytes.data(), static_cast<uInt>(bytes.size()));
    double best[4] = {1e9, 1e9, 1e9, 1e9};  // check, check-cpu, memory, memory-cpu
    for (int pass = 0; pass < kPasses; ++pass) {
        file->seek(0);
        auto start = std::chrono::steady_clock::now();
        double cpu = threadCpuSeconds();
        const zendra::setup::StreamChecksum sum = zendra::setup::checksumStream(*file, length, {});
        best[0] = std::min(best[0], secondsSince(start));
        best[1] = std::min(best[1], threadCpuSeconds() - cpu);
        if (!sum.complete || sum.crc != memory) return 1;
        start = std::chrono::steady_clock::now();
        cpu = threadCpuSeconds();
        if (crc32(crc32(0L, Z_NULL, 0), bytes.data(), static_cast<uInt>(bytes.size())) != memory) return 1;
        best[2] = std::min(best[2], secondsSince(start));
        best[3] = std::min(best[3], threadCpuSeconds() - cpu);
    }
    std::printf("check %.4f\ncheck-cpu %.4f\nmemory %.4f\nmemory-cpu %.4f\n", best[0], best[1], best[2], best[3]);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    zendra::Platform& os = zendra::posix::processPlatform().platform();
    if (argc == 4 && std::strcmp(argv[1], "untar") == 0) return untar(os, argv[2], argv[3]);
    if (argc == 3 && std::strcmp(argv[1], "crc") == 0) return crc(os, argv[2]);
    std::fprintf(stderr, "usage: archive_bench untar ARCHIVE TARGET | crc FILE\n");
    return 2;
}
