// In-memory stand-in for the SplashServices services.
#pragma once

#include "platform_splash.h"

namespace zendra::test {

// Records what the core asks of the SplashServices services.
class FakeSplashServices final : public SplashServices {
public:
};

}  // namespace zendra::test
