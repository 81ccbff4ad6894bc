#include "install_marks.h"

#include <cstring>
#include <vector>

#include "logger.h"

namespace zendra::setup {

std::string perProcessMarkName(std::uint32_t processId) {
    return formatText("%s_%d", kInstallStarted, static_cast<int>(processId));
}

void setMark(Launcher& l, const std::string& name) {
    const std::vector<std::uint8_t> one{1, 0, 0, 0};
    l.os.registry.setValue(Hive::CurrentUser, kMarksKey, name, RegType::Dword, one);
}

void clearMark(Launcher& l, const std::string& name) {
    l.os.registry.deleteValue(Hive::CurrentUser, kMarksKey, name);
}

std::uint32_t readMark(Launcher& l, const std::string& name) {
    const auto value = l.os.registry.queryValue(Hive::CurrentUser, kMarksKey, name);
    if (!value || value->data.size() != 4) return 0;
    std::uint32_t result = 0;
    for (int i = 3; i >= 0; --i) result = (result << 8) | value->data[static_cast<std::size_t>(i)];
    return result;
}

void mark(Launcher& l, MarkChange change, bool perProcess, bool global) {
    if (l.languageRestart) return;
    auto apply = [&](const std::string& name) {
        if (change == MarkChange::Set)
            setMark(l, name);
        else
            clearMark(l, name);
    };
    if (perProcess) apply(perProcessMarkName(l.processId));
    if (global) apply(kInstallStarted);
}

}  // namespace zendra::setup
