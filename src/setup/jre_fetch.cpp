#include "errors.h"
#include "jre_download.h"
#include "property_ids.h"

namespace zendra::setup {

void fetchJre(SetupRun& run, ProgressDialog*, const std::string&) {
    fatalMessageProperty(run.l, prop::msgDownloadUnavailable);
}

}  // namespace zendra::setup
