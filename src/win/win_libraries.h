// Loading native libraries (the Java runtime's jvm.dll) into the launcher's process.
#pragma once

#include "platform.h"

namespace zendra::win {

// The Libraries of the portable core. A loaded library is never freed: the virtual machine
// created from it lives until the process ends, and unloading it earlier is not supported,
// so each library stays loaded for the life of the process.
class WinLibraries final : public Libraries {
public:
    // LoadLibraryA with a full path; nullptr and GetLastError() on failure.
    LibraryRef load(const std::string& path, std::uint32_t& error) override;
    // GetProcAddress by name; nullptr when library is null or the export is missing.
    void* symbol(LibraryRef library, const char* name) override;
};

}  // namespace zendra::win
