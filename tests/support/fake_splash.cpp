#include "fake_splash.h"

#include "fake_desktop.h"

namespace zendra::test {
namespace {

// The handle of the fake splash window without a desktop; never dereferenced.
WindowRef const kSplashWindow = reinterpret_cast<WindowRef>(static_cast<std::uintptr_t>(0x5B1A5));

}  // namespace

bool FakeSplashServices::startThread(std::function<void()> body) {
    calls.push_back("thread");
    if (threadFails) return false;
    if (deferThreads) {
        pending_.push_back(std::move(body));
    } else {
        body();
    }
    return true;
}

void FakeSplashServices::runThreads() {
    std::vector<std::function<void()>> bodies = std::move(pending_);
    pending_.clear();
    for (auto& body : bodies) body();
}

WindowRef FakeSplashServices::createSplashWindow(const SplashWindowLayout& layout) {
    calls.push_back("create");
    created.push_back(layout);
    if (onCreate) onCreate();
    if (creationFails) return nullptr;
    if (desktop != nullptr) {
        FakeWindow& w = desktop->addWindow("splash", processId);
        w.visible = false;
        window_ = w.handle;
    } else {
        window_ = kSplashWindow;
    }
    return window_;
}

void FakeSplashServices::showWindow(WindowRef window, int showCommand) {
    calls.push_back("show " + std::to_string(showCommand));
    if (window != window_ || destroyed_) return;
    visible_ = showCommand != 0;  // 0: SW_HIDE
    if (desktop != nullptr) desktop->window("splash").visible = visible_;
}

void FakeSplashServices::hideWindow(WindowRef window) {
    calls.push_back("hide");
    if (window != window_ || destroyed_) return;
    visible_ = false;
    if (desktop != nullptr) desktop->window("splash").visible = false;
}

void FakeSplashServices::makeTopMost(WindowRef window) {
    calls.push_back(window == window_ ? "topmost" : "topmost of another window");
}

bool FakeSplashServices::isVisible(WindowRef window) {
    return window == window_ && !destroyed_ && visible_;
}

void FakeSplashServices::setStatusText(WindowRef window, const std::string& text) {
    calls.push_back("status " + text);
    if (window == window_ && !destroyed_ && !created.empty()) created.back().status.text = text;
}

void FakeSplashServices::runMessageLoop(WindowRef window, std::uint32_t periodMs,
                                        const std::function<bool()>& tick) {
    calls.push_back("loop " + std::to_string(periodMs));
    for (int n = 1; n <= maxTicks; ++n) {
        if (beforeTick) beforeTick(n);
        ++ticks;
        calls.push_back("tick " + std::to_string(n));
        if (!tick()) break;
    }
    calls.push_back(window == window_ ? "destroy" : "destroy another window");
    destroyed_ = true;
    visible_ = false;
    if (desktop != nullptr) desktop->window("splash").visible = false;
}

std::optional<ResourceBytes> FakeSplashServices::ownResource(int type, int id) {
    auto it = resources_.find({type, id});
    if (it == resources_.end()) return std::nullopt;
    return ResourceBytes{&it->second, it->second.data(), static_cast<std::uint32_t>(it->second.size())};
}

void FakeSplashServices::addResource(int type, int id, std::vector<std::uint8_t> bytes) {
    resources_[{type, id}] = std::move(bytes);
}

}  // namespace zendra::test
