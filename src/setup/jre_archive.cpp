#include "jre_archive.h"

#include "errors.h"

namespace zendra::setup {

void verifyIntegrity(Launcher&, InstallerProgress*, bool) {}

void prepareIncludedJre(Launcher& l, InstallerProgress*) {
    fatalMessage(l, "The bundled JRE cannot be unpacked by this build.");
}

void useIncludedJre(Launcher& l) {
    fatalMessage(l, "The bundled JRE cannot be used by this build.");
}

bool untarGz(Launcher&, const std::string&, const std::string&, InstallerProgress*, std::int64_t) {
    return false;
}

}  // namespace zendra::setup
