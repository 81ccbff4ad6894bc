#include "jre_download.h"

#include "jre_question.h"
#include "property_ids.h"

namespace zendra::setup {

bool downloadJre(SetupRun& run, ProgressDialog* dialog) {
    Launcher& l = run.l;
    const std::string& location = l.store.getProperty(prop::jreDownloadLocation);
    l.log.message("Download location: %s", location.c_str());
    const bool download = l.store.getIntProperty(prop::downloadWithoutAsking) != 0 || askForRuntime(run, dialog);
    if (!download) return false;
    l.log.message("Downloading JRE");
    fetchJre(run, dialog, location);
    l.log.message("Done");
    // A progress dialog shown only for the download (property 155) ends when this returns:
    // it is the dialog's whole work.
    return true;
}

}  // namespace zendra::setup
