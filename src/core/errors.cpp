#include "errors.h"

#include <cstdlib>

#include "paths.h"
#include "property_ids.h"

namespace zendra {
namespace {

std::optional<std::string> longLogPath(Launcher& l) {
    auto path = l.log.getLogFilePath();
    if (!path) return std::nullopt;
    return l.os.fs.longPathName(*path).value_or(*path);
}

void hideSplashFirst(Launcher& l) {
    if (l.hideSplash) l.hideSplash();
}

}  // namespace

std::string replacePlaceholder(std::string text, const std::string& argument) {
    std::size_t at = text.find("{0}");
    if (at != std::string::npos) text.replace(at, 3, argument);
    return text;
}

void showError(Launcher& l, const std::string& text) {
    hideSplashFirst(l);
    std::string composed = text;
    if (auto log = longLogPath(l)) {
        composed += "\n\nLog: ";
        composed += *log;
    }
    if (l.errorDisplayMode) {
        l.os.ui.messageBox(l.errorOwnerWindow, composed, l.store.getProperty(prop::errorCaption), BoxStyle::ErrorOk);
    } else {
        composed += '\n';
        l.os.ui.writeStderr(composed);
    }
}

void showErrorW(Launcher& l, const std::u16string& text) {
    hideSplashFirst(l);
    std::u16string composed = text;
    if (auto log = longLogPath(l)) {
        composed += u"\n\nLog: ";
        composed += l.os.codec.fromAnsi(*log);
    }
    if (l.errorDisplayMode) {
        l.os.ui.messageBoxW(l.errorOwnerWindow, composed, l.store.getMessage(prop::msgCaption), BoxStyle::ErrorOk);
    } else {
        composed += u'\n';
        l.os.ui.writeStderrW(composed);
    }
}

void showPropertyError(Launcher& l, std::int32_t id, const std::optional<std::string>& argument) {
    std::string text = l.store.getProperty(id);
    if (argument) text = replacePlaceholder(std::move(text), *argument);
    showError(l, text);
}

void fatalExit(Launcher& l, int code) {
    if (!l.launcherTempDir.empty()) {
        emptyDirectory(l, l.launcherTempDir, true);
        // The installer works inside the directory, and no process can remove its own
        // current directory: step out into its parent first.
        std::string parent = l.launcherTempDir;
        while (!parent.empty() && (parent.back() == '\\' || parent.back() == '/')) parent.pop_back();
        if (const std::size_t cut = parent.find_last_of("\\/"); cut != std::string::npos) {
            l.os.fs.setCurrentDirectory(parent.substr(0, cut + 1));
        }
        l.os.fs.removeDirectory(l.launcherTempDir);
    }
    l.os.process.exitProcess(code);
    std::abort();  // not reached: the platform ends the process
}

void fatalMessage(Launcher& l, const std::string& text) {
    showError(l, text);
    fatalExit(l, 1);
}

void fatalMessageProperty(Launcher& l, std::int32_t id) {
    showErrorW(l, l.store.getMessage(id));
    fatalExit(l, 1);
}

void fatalPropertyWithArgument(Launcher& l, std::int32_t id, const std::optional<std::string>& argument) {
    showPropertyError(l, id, argument);
    fatalExit(l, 1);
}

}  // namespace zendra
