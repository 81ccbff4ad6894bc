// The installer launcher's flow: the entry's switches and mode, and the installer run itself
// (integrity, working directory, runtime, watcher, marks, launch).
#pragma once

#include <memory>
#include <string>

#include "installer_ui.h"
#include "internet_client.h"
#include "launcher.h"

namespace zendra::setup {

// The run flags the entry sets and the installer run reads. Always owned by a shared_ptr: the
// work thread of a progress dialog keeps it alive after a cancel.
struct SetupRun : std::enable_shared_from_this<SetupRun> {
    SetupRun(Launcher& launcher, InstallerUi& installerUi) : l(launcher), ui(installerUi) {}

    Launcher& l;
    InstallerUi& ui;
    bool quiet = false;           // "-q", "-c" or a language restart: no dialog
    bool splashWanted = false;    // "-splash": a quiet run still takes the splash/dialog decision
    bool integrityCheck = true;   // off with "-nocheck"
    bool manualChoice = false;    // "-manual", "/manual" or yes to the interrupted-attempt question
    bool console = false;         // "-console" gave the process a console
    bool includedJre = false;     // "jre.tar.gz" (or after a language restart "jre") is there
    int progressStart = 100;      // where the watcher's bar starts: 100, 200 or 300
    int showCommand = 1;          // the show command the process received
    std::string workingDir;       // the directory the run works in
    DownloadServices* download = nullptr;  // the runtime download's client and hashing
};

// The whole installer launcher: the launcher l (kind Setup, alive until the process ends,
// since the work and watcher threads may outlive the entry), commandLine the UTF-16 command
// line, rawTail the 8-bit text after the program name, download the services of a runtime
// download. Returns the exit code.
int setupLauncherMain(Launcher& l, InstallerUi& ui, DownloadServices& download, const std::u16string& commandLine,
                      const std::string& rawTail, int showCommand);

// The installer's launcher, created on first use and never destroyed: the exit handlers and
// the threads of the run use it until the process ends.
Launcher& processLauncher(Platform& platform);

// Applies the installer's switches of the split command line to the run; "-c" without a
// console ends the process with exit code 1.
void applySetupSwitches(SetupRun& run, const ArgumentList& args);

// The installer run: integrity check, working directory and included files, the runtime,
// the watcher (with a dialog), the marks, and the VM with the installer's main. A run without
// a dialog that needs the user's choice of runtime shows the progress dialog for it; when the
// dialog is cancelled, or the rest of the run went on under it, this returns without launching.
void runInstaller(SetupRun& run, ProgressDialog* dialog);

}  // namespace zendra::setup
