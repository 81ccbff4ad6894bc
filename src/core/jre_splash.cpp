// The Java runtime's own splash library: the launcher hands it the image resource and closes
// it again; the runtime shows the image until then.
#include "logger.h"
#include "splash_state.h"

namespace zendra {
namespace {

// The image resource handed to the library: raw data (RT_RCDATA) with id 10000.
constexpr int kRawDataType = 10;
constexpr int kSplashImageId = 10000;

using SplashInitFn = void (*)();
using SplashLoadMemoryFn = int (*)(void* data, std::uint32_t size);
using SplashCloseFn = void (*)();

// A library export as a function pointer of type Fn.
template <typename Fn>
Fn asFunction(void* address) {
    return reinterpret_cast<Fn>(address);
}

}  // namespace

void showRuntimeSplash(Launcher& l) {
    // Only the Windows runtimes carry this library; elsewhere the launch goes on without it.
    if (!l.os.paths().windows) return;
    SplashShared& shared = *l.splash->shared;
    std::lock_guard<Mutex> guard(shared.lock);
    if (shared.started) return;
    const std::string path = formatText("%s\\bin\\splashscreen.dll", l.jvmHome.c_str());
    l.log.message("loading splashscreen dll from %s", path.c_str());
    std::uint32_t error = 0;
    const LibraryRef library = l.os.libraries.load(path, error);
    if (library == nullptr) {
        l.log.error("Could not load splashscreen.dll");
        return;
    }
    void* close = l.os.libraries.symbol(library, "SplashClose");
    void* init = l.os.libraries.symbol(library, "SplashInit");
    void* loadMemory = l.os.libraries.symbol(library, "SplashLoadMemory");
    if (close == nullptr || init == nullptr || loadMemory == nullptr) {
        l.log.error("Could not find functions in splashscreen.dll");
        return;
    }
    asFunction<SplashInitFn>(init)();
    if (auto image = l.os.splash.ownResource(kRawDataType, kSplashImageId)) {
        const int result = asFunction<SplashLoadMemoryFn>(loadMemory)(const_cast<void*>(image->data),
                                                                       image->size);
        l.log.message("splash load memory returned %d (%p, %p, %d)", result, image->handle, image->data,
                      static_cast<int>(image->size));
    } else {
        l.log.error("Could not find the splash image resource");
    }
    shared.libraryClose = close;
    shared.started = true;
}

void hideRuntimeSplash(Launcher& l) {
    SplashShared& shared = *l.splash->shared;
    void* close = nullptr;
    {
        std::lock_guard<Mutex> guard(shared.lock);
        if (!shared.started) return;
        close = shared.libraryClose;
    }
    if (close != nullptr) asFunction<SplashCloseFn>(close)();
}

}  // namespace zendra
