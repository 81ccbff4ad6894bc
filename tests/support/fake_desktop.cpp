#include "fake_desktop.h"

#include <cstdint>
#include <stdexcept>

namespace zendra::test {

FakeWindow& FakeDesktop::addWindow(const std::string& name, std::uint32_t processId) {
    FakeWindow w;
    // Distinct, never dereferenced handle values.
    w.handle = reinterpret_cast<WindowRef>(static_cast<std::uintptr_t>(0x10010 + 0x10 * windows_.size()));
    w.name = name;
    w.processId = processId;
    w.title = std::u16string(name.begin(), name.end());
    windows_.push_back(w);
    return windows_.back();
}

FakeWindow& FakeDesktop::window(const std::string& name) {
    for (FakeWindow& w : windows_) {
        if (w.name == name) return w;
    }
    throw std::logic_error("no fake window " + name);
}

void FakeDesktop::setConsoleWindow(const std::string& name) {
    consoleWindow_ = window(name).handle;
}

}  // namespace zendra::test
