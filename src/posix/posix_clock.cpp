#include "posix_clock.h"

#include <ctime>

namespace zendra::posix {

std::int64_t PosixClock::now() { return static_cast<std::int64_t>(std::time(nullptr)); }

}  // namespace zendra::posix
