// The Windows implementation of every platform service, bundled for the portable core.
#pragma once

#include "platform.h"
#include "text_codec.h"
#include "win_clock.h"
#include "win_desktop.h"
#include "win_environment.h"
#include "win_file_system.h"
#include "win_libraries.h"
#include "win_process_services.h"
#include "win_registry.h"
#include "win_splash.h"
#include "win_sync.h"
#include "win_user_interface.h"

namespace zendra::win {

// Owns one instance of each Windows service and hands them out as a Platform.
class WinPlatform {
public:
    WinPlatform() = default;
    WinPlatform(const WinPlatform&) = delete;
    WinPlatform& operator=(const WinPlatform&) = delete;

    // The services as the core sees them; valid as long as this object lives.
    Platform& platform() noexcept { return platform_; }
    // The code-page conversions.
    WinTextCodec& codec() noexcept { return codec_; }

private:
    WinFileSystem fs_;
    WinEnvironment env_;
    WinClock clock_;
    WinUserInterface ui_;
    WinTextCodec codec_;
    WinProcessServices process_;
    WinRegistry registry_;
    WinLibraries libraries_;
    WinSynchronization sync_;
    WinDesktop desktop_;
    WinSplashServices splash_;
    Platform platform_{fs_, env_, clock_, ui_, codec_, process_, registry_, libraries_, sync_, desktop_, splash_};
};

// The process's one WinPlatform. It is created on first use and destroyed only after the
// handlers registered through atNormalExit have run, so those may keep using it.
WinPlatform& processPlatform();

}  // namespace zendra::win
