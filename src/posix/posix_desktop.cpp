#include "posix_desktop.h"

#include <time.h>

#include <cerrno>

namespace zendra::posix {

std::uint32_t PosixDesktop::tickCount() {
    timespec now {};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const auto ms = static_cast<std::uint64_t>(now.tv_sec) * 1000u + static_cast<std::uint64_t>(now.tv_nsec) / 1000000u;
    return static_cast<std::uint32_t>(ms);
}

void PosixDesktop::sleep(std::uint32_t milliseconds) { sleepMilliseconds(milliseconds); }

void sleepMilliseconds(std::uint32_t milliseconds) {
    timespec remaining{static_cast<time_t>(milliseconds / 1000), static_cast<long>(milliseconds % 1000) * 1000000L};
    while (::nanosleep(&remaining, &remaining) == -1 && errno == EINTR) {
    }
}

}  // namespace zendra::posix
