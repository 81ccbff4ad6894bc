// The watcher that keeps the progress dialog up, and its bar moving, until the installer's
// own window is visible.
#pragma once

#include "installer_ui.h"
#include "launcher.h"

namespace zendra::setup {

// Where the bar stands after one step from position, for a watcher that started at
// progressStart (100, 200 or 300): a quarter of the way from the start to 400, at most 390.
int nextWatcherPosition(int position, int progressStart);

// Polls every 100 ms until the process shows a second visible window or the per-process mark
// reads 2, moving the bar every fifth pass; after 2400 passes with the mark still 1 (and no
// property 159) the run ends with message 20014. Then clears the per-process mark and hides
// the dialog.
void watchForInstallerWindow(Launcher& l, ProgressDialog& dialog, int progressStart);

}  // namespace zendra::setup
