#include "win_clock.h"

#include <ctime>

namespace zendra::win {

std::int64_t WinClock::now() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

}  // namespace zendra::win
