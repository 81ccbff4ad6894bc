#include "vm_hooks.h"

#include <cstdarg>
#include <cstdio>
#include <utility>

#include "concurrency.h"
#include "errors.h"
#include "guard.h"
#include "paths.h"
#include "property_ids.h"
#include "text_format.h"

namespace zendra {
namespace {

constexpr std::size_t kKeptOutput = 8192;  // enough for the VM's few lines before it ends

// The watched creation: one per process, as there is one VM.
struct Watch {
    Mutex lock;
    Launcher* launcher = nullptr;  // set while a creation is watched
    std::string output;
};

Watch& watch() {
    static Watch instance;
    return instance;
}

// The VM's printf: the text goes where the VM meant it to (its streams may belong to another
// C runtime, so only this one's standard output is told apart; all else is standard error),
// and is kept while a creation is watched.
jint JNICALL vmPrint(FILE* stream, const char* format, va_list args) {
    ZENDRA_TRY {
        const std::string text = formatTextList(format, args);
        std::FILE* out = stream == stdout ? stdout : stderr;
        std::fwrite(text.data(), 1, text.size(), out);
        std::fflush(out);
        Watch& w = watch();
        std::lock_guard<Mutex> guard(w.lock);
        if (w.launcher != nullptr && w.output.size() < kKeptOutput)
            w.output += text.substr(0, kKeptOutput - w.output.size());
        return static_cast<jint>(text.size());
    } ZENDRA_CATCH_ALL {
        return 0;
    }
}

// The VM gives up and is about to end the process. During a watched creation that is the
// launch failing: show why and clear the per-run directory as every fatal end does; the VM
// then ends the process with its own status.
void JNICALL vmAbort() {
    ZENDRA_TRY {
        Watch& w = watch();
        Launcher* l = nullptr;
        std::string output;
        {
            std::lock_guard<Mutex> guard(w.lock);
            l = std::exchange(w.launcher, nullptr);
            output = w.output;
        }
        if (l == nullptr) return;
        l->log.error("the Java VM ended the process while it was being created: %s", output.c_str());
        showError(*l, vmEndedText(l->store.getProperty(prop::errorVmStart), output, l->errorDisplayMode));
        if (!l->launcherTempDir.empty()) {
            emptyDirectory(*l, l->launcherTempDir, true);
            l->os.fs.removeDirectory(l->launcherTempDir);
        }
    } ZENDRA_CATCH_ALL {
        // Nothing may leave the hook; the VM ends the process all the same.
    }
}

}  // namespace

void addVmHooks(VmInitArgs& init) {
    init.addHook("vfprintf", reinterpret_cast<void*>(&vmPrint));
    init.addHook("abort", reinterpret_cast<void*>(&vmAbort));
}

VmCreationWatch::VmCreationWatch(Launcher& l) {
    Watch& w = watch();
    std::lock_guard<Mutex> guard(w.lock);
    w.launcher = &l;
    w.output.clear();
}

VmCreationWatch::~VmCreationWatch() {
    Watch& w = watch();
    std::lock_guard<Mutex> guard(w.lock);
    w.launcher = nullptr;
}

std::string VmCreationWatch::output() const {
    Watch& w = watch();
    std::lock_guard<Mutex> guard(w.lock);
    return w.output;
}

std::string vmEndedText(const std::string& vmStartText, const std::string& vmOutput, bool messageBox) {
    std::string words = vmOutput;
    while (!words.empty() && (words.back() == '\n' || words.back() == '\r' || words.back() == ' ')) words.pop_back();
    if (vmStartText.find("{0}") != std::string::npos) return replacePlaceholder(vmStartText, words);
    if (!messageBox || words.empty()) return vmStartText;
    return vmStartText + "\n\n" + words;
}

}  // namespace zendra
