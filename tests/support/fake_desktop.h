// In-memory stand-in for the Desktop services.
#pragma once

#include "platform_desktop.h"

namespace zendra::test {

// Records what the core asks of the Desktop services.
class FakeDesktop final : public Desktop {
public:
};

}  // namespace zendra::test
