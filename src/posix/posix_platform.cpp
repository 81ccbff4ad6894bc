#include "posix_platform.h"

namespace zendra::posix {

PosixPlatform& processPlatform() {
    // A function-local static finishes construction before any exit handler can be
    // registered through it, so the C library destroys it after those handlers.
    static PosixPlatform instance;
    return instance;
}

}  // namespace zendra::posix
