#include "window_watcher.h"

#include <algorithm>

#include "errors.h"
#include "install_marks.h"
#include "process_windows.h"
#include "property_ids.h"

namespace zendra::setup {
namespace {

constexpr int kEnd = 400;
constexpr int kCap = 390;
constexpr int kTimeoutPass = 2399;
constexpr std::uint32_t kPassMs = 100;

}  // namespace

int nextWatcherPosition(int position, int progressStart) {
    return std::min(position + (kEnd - progressStart) / 4, kCap);
}

void watchForInstallerWindow(Launcher& l, ProgressDialog& dialog, int progressStart) {
    const std::string perProcess = perProcessMarkName(l.processId);
    int position = progressStart;
    // The progress dialog is the process's first window; the installer's is the second.
    for (int i = 0; countProcessWindows(l, l.processId) < 2; ++i) {
        if (readMark(l, perProcess) == 2) break;
        if ((i + 1) % 5 == 0) {
            position = nextWatcherPosition(position, progressStart);
            dialog.setPosition(position);
        }
        if (i == kTimeoutPass && readMark(l, perProcess) == 1 && l.store.getIntProperty(prop::noWindowTimeout) == 0) {
            l.log.message("timeout");
            fatalMessageProperty(l, prop::msgWindowTimeout);
        }
        l.os.sync.sleep(kPassMs);
    }
    mark(l, MarkChange::Clear, true, false);
    l.log.message("Java window visible");
    dialog.hide();
}

}  // namespace zendra::setup
