#include "setup_flow.h"

#include <algorithm>
#include <memory>

#include "class_path.h"
#include "errors.h"
#include "included_files.h"
#include "install_marks.h"
#include "jre_archive.h"
#include "jre_download.h"
#include "jvm_launcher.h"
#include "packed_runtime.h"
#include "paths.h"
#include "process_windows.h"
#include "property_ids.h"
#include "single_instance.h"
#include "splash.h"
#include "text.h"
#include "window_watcher.h"

namespace zendra::setup {
namespace {

constexpr int kExitNoRuntime = 83;
constexpr const char* kJreDirectory = "jre";

// The work of a progress dialog: step run on the dialog's work thread, with the run kept alive.
void setWork(ProgressDialogPlan& plan, SetupRun& run, void (*step)(SetupRun&, ProgressDialog&)) {
    plan.work = [shared = run.shared_from_this(), step](ProgressDialog& dialog) { step(*shared, dialog); };
}

void enterWorkingDirectory(Launcher& l, const std::string& dir) {
    if (!l.os.fs.setCurrentDirectory(dir)) l.log.error("Could not change working dir to %s", dir.c_str());
}

// Step 3: the per-run directory with the included files, or after a language restart the
// directory the earlier run left the process in.
void prepareWorkingDirectory(SetupRun& run, ProgressDialog* dialog) {
    Launcher& l = run.l;
    if (l.languageRestart) {
        run.workingDir = inWorkingDirectory(l, ".");
        return;
    }
    createLauncherTempDir(l);
    setNativeLibraryPath(l);
    run.workingDir = l.launcherTempDir;
    enterWorkingDirectory(l, run.workingDir);
    const int result = extractIncludedFiles(l, false);
    if (result == 0) return;
    if (!run.quiet) {
        const std::int32_t text = result == 2 ? prop::msgExtractFailed : prop::msgDataDamaged;
        l.os.ui.messageBoxW(dialog != nullptr ? dialog->window() : nullptr, l.store.getMessage(text),
                            l.store.getMessage(prop::msgCaption), BoxStyle::ErrorOk);
    }
    fatalExit(l, 1);
}

// Step 4: whether the run carries its own runtime.
void findIncludedJre(SetupRun& run) {
    Launcher& l = run.l;
    l.log.message("Current working dir: %s", inWorkingDirectory(l, ".").c_str());
    const std::string archive = inWorkingDirectory(l, kJreArchiveName);
    l.log.message("Full JRE path: %s", archive.c_str());
    run.includedJre = pathExists(l, archive);
    if (!run.includedJre && !l.languageRestart && bundlesJreArchive(l)) {
        l.log.error("The bundled JRE archive is empty");
        run.includedJre = true;  // unpacking it fails: the damaged-bundle path, not a search
    }
    if (!run.includedJre && l.languageRestart) {
        const std::string extracted = inWorkingDirectory(l, kJreDirectory);
        l.log.message("Checking extracted JRE: %s", extracted.c_str());
        run.includedJre = pathExists(l, extracted);
    }
    l.log.message(run.includedJre ? "JRE included" : "No JRE included");
}

void finishInstaller(SetupRun& run, ProgressDialog* dialog);

// What the progress dialog shows, and its cancel: the marks cleared, the run over.
ProgressDialogPlan progressPlan(Launcher& l) {
    ProgressDialogPlan plan;
    plan.title = l.store.getMessage(prop::msgCaption);
    plan.text = l.store.getMessage(prop::msgProgressInitial);
    plan.cancel = l.store.getMessage(prop::msgCancelButton);
    plan.opened = [&l](ProgressDialog& dialog) { l.errorOwnerWindow = dialog.window(); };
    plan.cancelled = [&l] {
        l.log.message("Canceled installer");
        mark(l, MarkChange::Clear, true, true);
    };
    return plan;
}

// The user's choice of runtime on the progress dialog's thread.
void downloadUnderDialog(SetupRun& run, ProgressDialog& dialog) {
    run.includedJre = downloadJre(run, &dialog);
}

// The rest of a run that had no window of its own, on the progress dialog's thread: the
// user's choice of runtime, then everything up to the launch, with the dialog's bar.
void finishUnderDialog(SetupRun& run, ProgressDialog& dialog) {
    dialog.setPosition(1);
    dialog.setRange(0, 400);
    downloadUnderDialog(run, dialog);
    finishInstaller(run, &dialog);
}

// The whole run on the progress dialog's thread.
void runUnderDialog(SetupRun& run, ProgressDialog& dialog) {
    runInstaller(run, &dialog);
}

// A run without a dialog (splash, or property 155) that must ask for a runtime shows the
// progress dialog modally. With property 155 the dialog only asks and downloads, and this
// thread goes on with the result; otherwise the dialog's thread carries the run on to the
// launch (the integrity check and the extraction are not repeated), and this thread stops
// when the dialog ends. False when this thread must stop (also after a cancel, exit code 0).
bool continueUnderProgressDialog(SetupRun& run) {
    Launcher& l = run.l;
    const bool downloadOnly = l.store.getIntProperty(prop::dialogOnlyForDownload) != 0;
    ProgressDialogPlan plan = progressPlan(l);
    setWork(plan, run, downloadOnly ? downloadUnderDialog : finishUnderDialog);
    const WindowRef owner = l.errorOwnerWindow;
    const int ended = run.ui.runProgressDialog(plan);
    l.errorOwnerWindow = owner;  // the ended dialog can own no message box
    if (ended != -1) return downloadOnly && ended == 0;
    // No dialog could be shown: ask and go on without it.
    l.log.error("Could not show the progress dialog");
    run.includedJre = downloadJre(run, nullptr);
    return true;
}

// Step 6 without a usable runtime: a quiet run ends (or downloads when told to), any other
// run asks the user (or downloads). False when this thread must stop.
bool handleMissingRuntime(SetupRun& run, ProgressDialog* dialog) {
    Launcher& l = run.l;
    if (run.quiet) {
        if (l.store.getIntProperty(prop::downloadWithoutAsking) == 0) {
            l.log.error("No JRE found");
            l.os.ui.writeStdout("No JRE found. Aborting.\n");
            mark(l, MarkChange::Clear, true, true);
            fatalExit(l, kExitNoRuntime);
        }
        l.os.ui.writeStdout("No JRE found. Trying to download.\n");
    } else if (dialog == nullptr) {
        return continueUnderProgressDialog(run);
    }
    run.includedJre = downloadJre(run, dialog);
    return true;
}

// Step 6: the included runtime, an installed one, or none. False when this thread must stop.
bool decideRuntime(SetupRun& run, ProgressDialog* dialog) {
    Launcher& l = run.l;
    const bool perProcess = dialog != nullptr;
    if (run.includedJre) {
        if (l.store.getIntProperty(prop::preferInstalledJre) == 0) return true;
        mark(l, MarkChange::Set, perProcess, true);
        if (loadInstalledJre(l))
            run.includedJre = false;
        else
            mark(l, MarkChange::Clear, true, true);
        return true;
    }
    mark(l, MarkChange::Set, perProcess, true);
    if (run.manualChoice || !loadInstalledJre(l)) return handleMissingRuntime(run, dialog);
    return true;
}

// Step 9: the other included files packed with pack200, unpacked with the chosen runtime.
void unpackIncludedPackFiles(SetupRun& run) {
    Launcher& l = run.l;
    const std::int32_t count = l.store.getIntProperty(prop::includedFileCount);
    std::string_view names = l.store.getProperty(prop::includedFileNames);
    const char separator = l.os.paths().separator;
    for (std::int32_t i = 0; i < count && !names.empty(); ++i) {
        const std::size_t end = std::min(names.find(';'), names.size());
        const std::string_view name = names.substr(0, end);
        names.remove_prefix(std::min(end + 1, names.size()));
        if (name.empty()) break;
        if (!name.ends_with(".pack")) continue;
        l.log.message("unpacking %.*s", static_cast<int>(name.size()), name.data());
        runUnpack200(l, l.jvmHome, concat({run.workingDir, std::string_view(&separator, 1), name}));
    }
}

// Steps 7 to 12: the chosen runtime prepared, the watcher, the marks and the launch.
void finishInstaller(SetupRun& run, ProgressDialog* dialog) {
    Launcher& l = run.l;
    enterWorkingDirectory(l, run.workingDir);
    if (!l.languageRestart) {
        const bool packed = l.store.getIntProperty(prop::jrePacked) != 0;
        run.progressStart = run.includedJre ? (packed ? 300 : 200) : 100;
        if (run.includedJre) prepareIncludedJre(l, dialog);
        unpackIncludedPackFiles(run);
    } else if (run.includedJre) {
        useIncludedJre(l);
    }
    if (dialog != nullptr) {
        const int start = run.progressStart;
        run.ui.startWatcherThread([&l, dialog, start] { watchForInstallerWindow(l, *dialog, start); });
    }
    mark(l, MarkChange::Set, dialog != nullptr, true);
    ArgumentList args;
    splitCommandLine(l.commandLine, args);
    if (!launchProgram(l, args, true)) {
        l.log.error("Could not start JVM");
        fatalPropertyWithArgument(l, prop::errorVmStart);
    }
}

}  // namespace

Launcher& processLauncher(Platform& platform) {
    static Launcher* const instance = std::make_unique<Launcher>(platform, LauncherKind::Setup).release();
    return *instance;
}

void applySetupSwitches(SetupRun& run, const ArgumentList& args) {
    Launcher& l = run.l;
    for (std::size_t i = 1; i < args.size(); ++i) {
        const std::u16string& arg = args[i];
        if (arg == u"-q") {
            run.quiet = true;
            l.errorDisplayMode = false;
        } else if (arg == u"-console") {
            run.console = attachConsole(l);
        } else if (arg == u"-splash") {
            run.splashWanted = true;
        } else if (arg == u"-nocheck") {
            run.integrityCheck = false;
        } else if (arg == u"-c") {
            run.quiet = true;
            l.errorDisplayMode = false;
            if (run.console) continue;
            if (!attachConsole(l)) {
                l.os.ui.messageBox(nullptr, "Error: Could not allocate console.", "quillon", BoxStyle::ErrorOk);
                fatalExit(l, 1);
            }
            run.console = true;
        } else if (arg == u"-manual" || arg == u"/manual") {
            run.manualChoice = true;
        }
    }
}

void runInstaller(SetupRun& run, ProgressDialog* dialog) {
    Launcher& l = run.l;
    l.log.message("Starting work");
    if (dialog != nullptr) {
        dialog->setPosition(1);
        dialog->setRange(0, 400);
    }
    if (!l.languageRestart) verifyIntegrity(l, dialog, run.integrityCheck);
    prepareWorkingDirectory(run, dialog);
    findIncludedJre(run);
    if (run.manualChoice && run.includedJre) {
        l.log.message("Included JRE not used because of manual switch");
        run.includedJre = false;
    }
    if (decideRuntime(run, dialog)) finishInstaller(run, dialog);
}

int setupLauncherMain(Launcher& l, InstallerUi& ui, DownloadServices& download, const std::u16string& commandLine,
                      const std::string& rawTail, int showCommand) {
    if (isRebootRequest(rawTail)) {
        rebootSystem(l);
        return 0;
    }
    // Shared with the work thread, which may outlive this function after a cancel.
    auto shared = std::make_shared<SetupRun>(l, ui);
    SetupRun& run = *shared;
    run.showCommand = showCommand;
    run.download = &download;
    l.commandLine = commandLine;
    if (startsWith(rawTail, "__qln_lang_restart")) {
        l.languageRestart = true;
        run.quiet = true;
    }
    ui.initCommonControls();
    ArgumentList args;
    splitCommandLine(commandLine, args);
    launcherInit(l, &args);
    applySetupSwitches(run, args);
    if (!l.languageRestart) checkSingleInstance(l, false, false, args);
    l.log.message("Init done");
    if (readMark(l, kInstallStarted) == 1 && !run.quiet &&
        ui.askWarning(l.store.getMessage(prop::msgInterruptedQuestion), l.store.getMessage(prop::msgCaption))) {
        run.manualChoice = true;
    }
    if (run.quiet && !run.splashWanted) {
        l.log.message("Quiet installer.");
        runInstaller(run, nullptr);
    } else if (l.store.getIntProperty(prop::splashScreen) != 0 && l.store.getIntProperty(prop::useJavaSplash) == 0) {
        l.log.message("Showing splash screen.");
        showSplash(l, showCommand);
        ui.registerDialogClass();
        runInstaller(run, nullptr);
    } else if (l.store.getIntProperty(prop::dialogOnlyForDownload) != 0) {
        ui.registerDialogClass();
        runInstaller(run, nullptr);
    } else {
        ui.registerDialogClass();
        ProgressDialogPlan plan = progressPlan(l);
        setWork(plan, run, runUnderDialog);
        ui.runProgressDialog(plan);
    }
    return 0;
}

}  // namespace zendra::setup
