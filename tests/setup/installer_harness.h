// The installer launcher over the fake platform: a packed record, a fake VM, the installer's
// windows and download services, and a run that turns the process's end into an exit code.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "fake_installer_ui.h"
#include "fake_internet.h"
#include "fake_jni.h"
#include "fake_jvm_support.h"
#include "pe_image.h"
#include "property_ids.h"
#include "setup_flow.h"
#include "test_pe.h"

namespace zendra::test {

// What every installer test starts from; tests add their runtimes and record.
struct InstallerHarness {
    InstallerHarness() {
        sys.fs.addDirectory("c:\\tmp");
        sys.env.vars["TMP"] = "c:\\tmp";
        jvm.withMain("com/zendra/runtime/WinLauncher");
    }
    // Packs the launcher with a search sequence, the messages and extra string properties.
    void package(const std::string& searchSequence, std::vector<std::pair<std::int32_t, std::u16string>> messages,
                 const std::map<std::int32_t, std::string>& extra) {
        pack::Package p;
        p.strings = {{prop::launcherType, "1"}, {prop::searchSequence, searchSequence},
                     {prop::errorVmStart, "VM failed"}};
        for (const auto& [id, value] : extra) p.strings.emplace_back(id, value);
        p.messages = std::move(messages);
        std::vector<std::string> notes;
        sys.fs.addFile("c:\\app\\launcher.exe", pack::packageExecutable(minimalPe(), p, notes));
    }
    // Runs the installer with the command-line tail; the exit code.
    int run(const std::u16string& tail, const std::string& rawTail = "") {
        try {
            return setup::setupLauncherMain(l, ui, download, u"\"c:\\app\\launcher.exe\" " + tail, rawTail, 1);
        } catch (const FakeExit& e) {
            return e.code;
        }
    }
    // The run's log.
    std::string logText() { return sys.fs.content(l.log.getLogFilePath().value_or("")); }

    FakeSystem sys;
    FakeJvm jvm;
    FakeInstallerUi ui;
    FakeInternetClient internet{sys.desktop};
    FakeHashing hashing;
    setup::DownloadServices download{internet, hashing};
    Launcher l{sys.platform, LauncherKind::Setup};
};

}  // namespace zendra::test
