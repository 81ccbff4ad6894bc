// The Win32 implementation of the SplashServices services.
#pragma once

#include "platform_splash.h"

namespace zendra::win {

// The splash window and the resources of the own executable, through Win32.
class WinSplashServices final : public SplashServices {
public:
};

}  // namespace zendra::win
