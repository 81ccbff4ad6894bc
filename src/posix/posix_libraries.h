// Loading native libraries (the Java runtime's libjvm.so) into the launcher's process.
#pragma once

#include <mutex>
#include <string>

#include "platform.h"

namespace zendra::posix {

// The Libraries of the portable core. A loaded library is never unloaded: the virtual
// machine created from it lives until the process ends.
class PosixLibraries final : public Libraries {
public:
    // dlopen(RTLD_NOW | RTLD_GLOBAL); nullptr and a nonzero code (errno, else 1) on failure,
    // with dlerror()'s text kept for lastErrorText.
    LibraryRef load(const std::string& path, std::uint32_t& error) override;
    // dlsym; nullptr when library or name is null or the symbol is missing.
    void* symbol(LibraryRef library, const char* name) override;
    // The system's description of the last failed load ("" when none failed).
    std::string lastErrorText() const;

private:
    mutable std::mutex lock_;
    std::string lastError_;
};

}  // namespace zendra::posix
