// Preparing the runtime delivered with the installer: unpacking, packed jars, loading.
#include "jre_archive.h"

#include <algorithm>
#include <chrono>
#include <optional>
#include <string_view>

#include "concurrency.h"
#include "errors.h"
#include "jvm_loader.h"
#include "packed_runtime.h"
#include "property_ids.h"
#include "text.h"

namespace zendra::setup {
namespace {

constexpr const char* kJreDirName = "jre";

// Moves the bar from 200 towards 300 in ten steps of a tenth of the extraction time each,
// on the assumption that unpacking the jars takes about as long as unpacking the archive;
// ends at 300 or when the unpacking is done.
class UnpackingProgress {
public:
    UnpackingProgress(InstallerProgress& dialog, std::uint32_t extractionMs) {
        // Without a thread the bar just stays where it is.
        static_cast<void>(thread_.start([this, &dialog, step = std::chrono::milliseconds(extractionMs / 10)] {
            run(dialog, step);  // an exception only stops the bar
        }));
    }
    ~UnpackingProgress() {
        {
            std::lock_guard<Mutex> guard(lock_);
            done_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    UnpackingProgress(const UnpackingProgress&) = delete;
    UnpackingProgress& operator=(const UnpackingProgress&) = delete;

private:
    void run(InstallerProgress& dialog, std::chrono::milliseconds step) {
        int position = 200;
        std::unique_lock<Mutex> guard(lock_);
        while (position < 300) {
            if (wake_.wait_for(guard, step, [this] { return done_; })) return;
            position += 10;
            dialog.setPosition(position);
        }
    }

    Mutex lock_;
    ConditionVariable wake_;
    bool done_ = false;
    Thread thread_;
};

// Restores the packed jars of the runtime in "jre" (or one level deeper, "jre\\jre").
void unpackPackedJars(Launcher& l, InstallerProgress* dialog, const std::string& jreDir, std::uint32_t extractionMs) {
    l.log.message("JRE is packed");
    std::optional<UnpackingProgress> progress;
    if (dialog != nullptr) progress.emplace(*dialog, extractionMs);
    unpackJars(l, jreDir);
    unpackJars(l, joinPath(l.os.paths(), jreDir, kJreDirName));
}

}  // namespace

std::string inWorkingDirectory(Launcher& l, const char* name) {
    std::string path = name;
    return l.os.fs.fullPathName(path).value_or(path);
}

bool loadInstalledJre(Launcher& l) {
    return LoadDLL(l, false, std::nullopt, false);
}

void prepareIncludedJre(Launcher& l, InstallerProgress* dialog) {
    const std::uint32_t started = l.os.desktop.tickCount();
    l.log.message("extracting JRE");
    const std::string archive = inWorkingDirectory(l, kJreArchiveName);
    const std::string jreDir = inWorkingDirectory(l, kJreDirName);
    std::uint32_t code = 0;
    if (!l.os.fs.createDirectory(jreDir, code)) l.log.error("Could not create JRE dir");
    if (!untarGz(l, archive, jreDir, dialog, l.store.getIntProperty(prop::jreArchiveSize))) {
        l.log.error("Could not untar JRE");
        fatalMessage(l, "The bundled JRE is corrupted. If you downloaded the setup file please download it again.");
    }
    l.os.fs.deleteFile(archive);
    const std::uint32_t extractionMs = l.os.desktop.tickCount() - started;
    if (l.store.getIntProperty(prop::jrePacked) != 0) unpackPackedJars(l, dialog, jreDir, extractionMs);
    useIncludedJre(l);
}

bool bundlesJreArchive(const Launcher& l) {
    const std::int32_t count = l.store.getIntProperty(prop::includedFileCount);
    const std::string& names = l.store.getProperty(prop::includedFileNames);
    const std::string_view archive = kJreArchiveName;
    // Walked as the extraction walks them: empty names between separators are not counted.
    std::int32_t listed = 0;
    for (std::size_t at = 0; listed < count && at < names.size();) {
        const std::size_t end = std::min(names.find(';', at), names.size());
        const std::string_view name = std::string_view(names).substr(at, end - at);
        at = end + 1;
        if (name.empty()) continue;
        ++listed;
        if (name.size() == archive.size() && endsWithIgnoreCase(name, archive)) return true;
    }
    return false;
}

void useIncludedJre(Launcher& l) {
    const std::string jreDir = inWorkingDirectory(l, kJreDirName);
    l.log.message("JRE dir: %s", jreDir.c_str());
    if (LoadDLL(l, false, jreDir, false)) return;
    l.log.error("Could not load bundled JRE. Trying to find another JRE.");
    if (loadInstalledJre(l)) return;
    l.log.error("Could not find another JRE.");
    fatalMessage(l, "Could not use bundled JRE. Please send this log file to your software vendor:");
}

}  // namespace zendra::setup
