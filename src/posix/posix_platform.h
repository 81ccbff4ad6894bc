// The POSIX implementation of every platform service, bundled for the portable core.
#pragma once

#include "platform.h"
#include "posix_clock.h"
#include "posix_desktop.h"
#include "posix_environment.h"
#include "posix_file_system.h"
#include "posix_libraries.h"
#include "posix_process_services.h"
#include "posix_registry.h"
#include "posix_splash.h"
#include "posix_sync.h"
#include "posix_text_codec.h"
#include "posix_user_interface.h"

namespace zendra::posix {

// Owns one instance of each POSIX service and hands them out as a Platform with the Linux
// path conventions. Error codes throughout are errno values, except where the core compares
// against Windows codes: kErrorAlreadyExists from createDirectory and createSemaphore, and
// kErrorFileExists from createNewFile.
class PosixPlatform {
public:
    // The store and lock directories in their default places.
    PosixPlatform() = default;
    // The store and semaphore directories given (tests use temporary ones); the private
    // directory of the file system is the semaphores' per-user one.
    PosixPlatform(StoreDirectories stores, SemaphoreDirectories semaphores)
        : fs_(semaphores.local), registry_(std::move(stores)), sync_(std::move(semaphores)) {}
    PosixPlatform(const PosixPlatform&) = delete;
    PosixPlatform& operator=(const PosixPlatform&) = delete;

    // The services as the core sees them; valid as long as this object lives.
    Platform& platform() noexcept { return platform_; }
    // The library loader, for the text of its last failure.
    PosixLibraries& libraries() noexcept { return libraries_; }

private:
    PosixFileSystem fs_;
    PosixEnvironment env_;
    PosixClock clock_;
    PosixUserInterface ui_;
    PosixTextCodec codec_;
    PosixProcessServices process_;
    PosixRegistry registry_;
    PosixLibraries libraries_;
    PosixSynchronization sync_;
    PosixDesktop desktop_;
    PosixSplashServices splash_;
    Platform platform_{fs_,       env_,  clock_,    ui_,     codec_,  process_,
                       registry_, libraries_, sync_, desktop_, splash_, &kPosixConventions};
};

// The process's one PosixPlatform. It is created on first use and destroyed only after the
// handlers registered through atNormalExit have run, so those may keep using it.
PosixPlatform& processPlatform();

}  // namespace zendra::posix
