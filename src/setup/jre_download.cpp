#include "jre_download.h"

#include "errors.h"
#include "property_ids.h"

namespace zendra::setup {

bool downloadJre(SetupRun& run, ProgressDialog* dialog) {
    Launcher& l = run.l;
    const std::string& location = l.store.getProperty(prop::jreDownloadLocation);
    l.log.message("Download location: %s", location.c_str());
    if (l.store.getIntProperty(prop::downloadWithoutAsking) == 0) {
        l.log.error("No JRE found and no download available");
        fatalMessage(l,
                     "No suitable Java runtime was found on this computer, and this installer cannot download one. "
                     "Please install a Java runtime and start the installer again.");
    }
    l.log.message("Downloading JRE");
    fetchJre(run, dialog, location);
    l.log.message("Done");
    return true;
}

}  // namespace zendra::setup
