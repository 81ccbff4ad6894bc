#include "exit_handlers.h"

#include <cstdlib>
#include <vector>

#include "concurrency.h"
#include "guard.h"

namespace zendra {
namespace {

// The registered handlers, and the lock guarding them.
struct ExitHandlers {
    Mutex lock;
    std::vector<std::function<void()>> handlers;
};

// Constructed before the trampoline is registered, so it outlives the trampoline's run.
ExitHandlers& exitHandlers() {
    static ExitHandlers instance;
    return instance;
}

// Registered once per handler: each run takes the latest handler still pending.
void runLatestExitHandler() {
    std::function<void()> handler;
    {
        ExitHandlers& registry = exitHandlers();
        std::lock_guard<Mutex> guard(registry.lock);
        if (registry.handlers.empty()) return;
        handler = std::move(registry.handlers.back());
        registry.handlers.pop_back();
    }
    ZENDRA_TRY {
        if (handler) handler();
    } ZENDRA_CATCH_ALL {
        // An exit handler has nobody to report to; the others still run.
    }
}

}  // namespace

void registerNormalExitHandler(std::function<void()> handler) {
    ExitHandlers& registry = exitHandlers();
    std::lock_guard<Mutex> guard(registry.lock);
    registry.handlers.push_back(std::move(handler));
    if (std::atexit(runLatestExitHandler) != 0) registry.handlers.pop_back();
}

}  // namespace zendra
