#include "win_platform.h"

namespace zendra::win {

WinPlatform& processPlatform() {
    // A function-local static finishes construction before any exit handler can be
    // registered through it, so the C runtime destroys it after those handlers.
    static WinPlatform instance;
    return instance;
}

}  // namespace zendra::win
