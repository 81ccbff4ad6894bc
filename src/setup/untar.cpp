// Unpacking the runtime archive: a gzip-compressed tar stream written below one directory.
#include <algorithm>
#include <memory>
#include <vector>

#include "entry_names.h"
#include "errors.h"
#include "gzip_source.h"
#include "jre_archive.h"
#include "tar_reader.h"

namespace zendra::setup {
namespace {

constexpr std::size_t kCopyChunk = 32768;
constexpr std::uint32_t kProgressPeriodMs = 200;

// Moves the bar over 100..200 with the share of the uncompressed data read so far.
class ExtractionProgress {
public:
    ExtractionProgress(Launcher& l, InstallerProgress* dialog, const GzipSource& source, std::int64_t expectedSize)
        : l_(l), dialog_(dialog), source_(source), expectedSize_(expectedSize), lastTick_(l.os.desktop.tickCount()) {}

    // At the start of a file: the position whenever it has changed.
    void atFileStart() { show(); }

    // While copying: the position at most every 200 ms.
    void whileCopying() {
        if (dialog_ == nullptr) return;
        const std::uint32_t now = l_.os.desktop.tickCount();
        if (now - lastTick_ < kProgressPeriodMs) return;
        lastTick_ = now;
        show();
    }

private:
    void show() {
        // Without the archive's size (property 151) the share is unknown: the bar stays.
        if (dialog_ == nullptr || expectedSize_ <= 0) return;
        const double share = static_cast<double>(source_.tell()) / static_cast<double>(expectedSize_);
        const int position = 100 + static_cast<int>(std::clamp(share, 0.0, 1.0) * 100.0);
        if (position == shown_) return;
        shown_ = position;
        dialog_->setPosition(position);
    }

    Launcher& l_;
    InstallerProgress* dialog_;
    const GzipSource& source_;
    std::int64_t expectedSize_;
    std::uint32_t lastTick_;
    int shown_ = -1;
};

// Copies the entry's data into a new file at path; false (and no file left) when it falls short.
bool extractFile(Launcher& l, TarReader& reader, const std::string& name, const std::string& path,
                 std::int32_t size, ExtractionProgress& progress, std::vector<std::uint8_t>& buffer) {
    l.log.message("extracting %s (size %d)", name.c_str(), size);
    std::uint32_t code = 0;
    std::unique_ptr<File> out = l.os.fs.createWrite(path, code);
    if (!out) {
        const std::string text = formatText("Could not open file %s\n", name.c_str());
        l.log.error("%s", text.c_str());
        fatalMessage(l, text);
    }
    std::int64_t written = 0;
    bool streamError = false;
    while (written < size) {
        const SourceRead got = reader.readData(buffer.data(), buffer.size());
        if (!got.ok) streamError = true;
        if (got.bytes == 0) break;
        const IoResult put = out->write(buffer.data(), got.bytes);
        written += static_cast<std::int64_t>(put.bytes);
        if (!put.ok || put.bytes < got.bytes || streamError) break;
        progress.whileCopying();
    }
    out.reset();
    if (streamError) l.log.error("stream error");
    else if (written < size) l.log.error("sizes don't match: %d, %d", static_cast<int>(written), size);
    if (!streamError && written == size) return true;
    l.os.fs.deleteFile(path);
    return false;
}

// Handles one entry; false when the archive must be refused.
bool unpackEntry(Launcher& l, TarReader& reader, const TarEntry& entry, const std::string& targetDir,
                 ExtractionProgress& progress, std::vector<std::uint8_t>& buffer, bool& extracted) {
    if (entry.type != '0' && entry.type != '5') return true;  // links and other types stay skipped
    const CheckedName checked = checkEntryName(l.os.paths(), entry.name);
    if (!checked.refusal.empty() || (entry.type == '0' && checked.path.empty())) {
        l.log.error("refusing entry %s: %s", entry.name.c_str(),
                    checked.refusal.empty() ? "empty name" : checked.refusal.c_str());
        l.log.error("extract file failed");
        return false;
    }
    const std::string path = joinPath(l.os.paths(), targetDir, checked.path);
    if (entry.type == '5') {
        std::uint32_t code = 0;
        if (!checked.path.empty()) l.os.fs.createDirectory(path, code);  // an existing one is fine
        return true;
    }
    progress.atFileStart();
    if (!extractFile(l, reader, checked.path, path, entry.size, progress, buffer)) {
        l.log.error("extract file failed");
        return false;
    }
    extracted = true;
    return true;
}

}  // namespace

bool untarGz(Launcher& l, const std::string& archive, const std::string& targetDir, InstallerProgress* dialog,
             std::int64_t expectedSize) {
    std::uint32_t code = 0;
    std::unique_ptr<File> file = l.os.fs.openRead(archive, code);
    if (!file) {
        l.log.error("Could not open gz-file");
        l.log.error("untaring JRE was unsuccessful");
        return false;
    }
    GzipSource source(*file);
    TarReader reader(source);
    ExtractionProgress progress(l, dialog, source, expectedSize);
    std::vector<std::uint8_t> buffer(kCopyChunk);
    bool extracted = false;
    bool ok = false;
    for (;;) {
        TarEntry entry;
        const TarReader::Step step = reader.next(entry);
        if (step == TarReader::Step::End && extracted) {
            ok = true;
            break;
        }
        if (step != TarReader::Step::Entry) {
            l.log.error("%s", reader.reason().c_str());
            if (!source.errorText().empty()) l.log.error("gzip stream: %s", source.errorText().c_str());
            break;
        }
        if (!unpackEntry(l, reader, entry, targetDir, progress, buffer, extracted)) break;
    }
    if (ok) l.log.message("untaring JRE was successful");
    else l.log.error("untaring JRE was unsuccessful");
    return ok;
}

}  // namespace zendra::setup
