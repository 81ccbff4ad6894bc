// The process-wide state of one launcher run and its common start-up.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "command_line.h"
#include "language.h"
#include "log.h"
#include "platform.h"
#include "property_store.h"

namespace zendra {

// Which of the three programs is running.
enum class LauncherKind { App, Service, Setup };

// Everything one launcher process knows; created by the entry, passed to every step.
struct Launcher {
    // A launcher of the given kind over the platform's services.
    Launcher(Platform& platform, LauncherKind kind);

    Platform& os;
    LauncherKind kind;
    DiagnosticLog log;
    PropertyStore store;
    LanguageSelection language;
    std::string launcherTempDir;         // per-run directory; empty when none exists
    bool errorDisplayMode = true;        // true: message boxes; false: standard error
    WindowRef errorOwnerWindow = nullptr;
    std::string productTitle;
    char flavourLetter = '\0';
    bool languageRestart = false;
    std::uint32_t unextractedPosition = 0;
    std::function<void()> hideSplash;    // set while a splash screen can be shown
    std::optional<std::string> executablePathCache;
    std::optional<std::string> executableDirCache;
};

// Reads the configuration record of the own executable into the store; returns property 107.
std::int32_t loadConfiguration(Launcher& l, const ArgumentList* args);

// The common start-up: log switch, record, flavour, working directory, log prompt.
void launcherInit(Launcher& l, ArgumentList* args);

// Whether the flavour word selects the quillon launcher classes.
bool isQuillonFlavour(const Launcher& l);

}  // namespace zendra
