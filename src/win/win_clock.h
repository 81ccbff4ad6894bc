// Wall-clock time from the C runtime.
#pragma once

#include "platform.h"

namespace zendra::win {

// The Clock of the portable core.
class WinClock final : public Clock {
public:
    // time(nullptr).
    std::int64_t now() override;
};

}  // namespace zendra::win
