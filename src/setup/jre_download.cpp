#include "jre_download.h"

#include "errors.h"

namespace zendra::setup {

void downloadJre(Launcher& l, InstallerProgress*) {
    l.log.error("No JRE found and no download available");
    fatalMessage(l,
                 "No suitable Java runtime was found on this computer, and this installer cannot download one. "
                 "Please install a Java runtime and start the installer again.");
}

}  // namespace zendra::setup
