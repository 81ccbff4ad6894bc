// The Win32 implementation of the Desktop services.
#pragma once

#include "platform_desktop.h"

namespace zendra::win {

// Consoles, top-level windows of processes and the system restart, through Win32.
class WinDesktop final : public Desktop {
public:
};

}  // namespace zendra::win
