// The launches the JVM driver can run, one per process: a launcher over the fake system with
// a real VM library, configured as one test case needs.
#pragma once

#include <string>
#include <string_view>

#include "command_line.h"
#include "fake_platform.h"
#include "host_services.h"
#include "launcher.h"

namespace zendra::jvmtest {

// One launcher run: the fake system with the host's libraries, codec and standard error.
struct Run {
    // A launcher of the kind over the fake system.
    explicit Run(LauncherKind kind);
    Run(const Run&) = delete;
    Run& operator=(const Run&) = delete;

    test::FakeSystem sys;
    DlLibraries libraries;
    Utf8Codec codec;
    StderrUserInterface ui;
    Platform platform;
    Launcher l;
    ArgumentList args;             // the process command line handed to the launch
    bool pollController = false;   // a second thread polls the controller during the launch
    bool stayAttached = false;     // that thread stays attached until launchProgram has returned
    bool followSplash = false;     // that thread follows the splash requests until told to hide
};

// A named case: which launcher runs and how it is configured.
struct CaseSetup {
    const char* name;
    LauncherKind kind;
    void (*configure)(Run& run);
};

// The case of that name, or null.
const CaseSetup* findCase(std::string_view name);

// Every case name, one per line (for the usage text).
std::string caseNames();

}  // namespace zendra::jvmtest
