// Wall-clock time from the C library.
#pragma once

#include "platform.h"

namespace zendra::posix {

// The Clock of the portable core.
class PosixClock final : public Clock {
public:
    // time(nullptr).
    std::int64_t now() override;
};

}  // namespace zendra::posix
