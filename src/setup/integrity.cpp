// The integrity check of the installer's appended data (configuration record and included files).
#include "integrity.h"

#include <zlib.h>

#include <memory>
#include <vector>

#include "errors.h"
#include "jre_archive.h"
#include "paths.h"
#include "property_ids.h"
#include "record.h"

namespace zendra::setup {
namespace {

// The damaged-data box (shown also in quiet runs), then the end of the process.
[[noreturn]] void integrityFailed(Launcher& l, InstallerProgress* dialog) {
    l.os.ui.messageBoxW(dialog != nullptr ? l.errorOwnerWindow : nullptr, l.store.getMessage(prop::msgDataDamaged),
                        l.store.getMessage(prop::msgCaption), BoxStyle::ErrorOk);
    fatalExit(l, 1);
}

// The integrity fields behind the record's magic.
struct IntegrityFields {
    bool magic = false;
    std::int32_t flag = 0;
    std::uint32_t expected = 0;
    std::int64_t length = 0;
};

IntegrityFields readIntegrityFields(Launcher& l, File& file) {
    IntegrityFields fields;
    RecordReader reader(file, l.log);
    const std::uint64_t start = reader.seekToAppendedData();
    if (reader.failed()) return fields;  // no readable record behind the image
    l.log.message("starting at %d", static_cast<int>(start));
    fields.magic = static_cast<std::uint32_t>(reader.readInt()) == kRecordMagic;
    if (!fields.magic) return fields;
    fields.flag = reader.readInt();
    fields.expected = static_cast<std::uint32_t>(reader.readInt());
    fields.length = reader.readLong();
    fields.magic = !reader.failed();
    return fields;
}

}  // namespace

StreamChecksum checksumStream(File& file, std::int64_t length, InstallerProgress* progress) {
    StreamChecksum result;
    uLong crc = crc32(0L, Z_NULL, 0);
    // One system read fills many chunks: a call into the system per 16 KB costs about as much as
    // the checksum of those bytes. The chunks are summed where they were read, never copied again.
    std::vector<std::uint8_t> buffer(kIntegrityReadSize);
    std::size_t filled = 0;
    std::size_t used = 0;
    int shown = 0;
    while (result.done < length) {
        if (used == filled) {
            const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(length - result.done, kIntegrityReadSize));
            const IoResult got = file.read(buffer.data(), wanted);
            if (!got.ok || got.bytes == 0) {
                result.complete = false;
                result.lastRead = got.bytes;
                result.error = got.error;
                break;
            }
            filled = got.bytes;
            used = 0;
        }
        const std::size_t chunk = std::min(filled - used, kIntegrityChunk);
        crc = crc32(crc, buffer.data() + used, static_cast<uInt>(chunk));
        used += chunk;
        result.done += static_cast<std::int64_t>(chunk);
        const auto done = static_cast<int>(static_cast<double>(result.done) * 100.0 / static_cast<double>(length));
        if (progress != nullptr && done > shown) {
            shown = done;
            progress->setPosition(done);
        }
    }
    result.crc = static_cast<std::uint32_t>(crc);
    return result;
}

void verifyIntegrity(Launcher& l, InstallerProgress* dialog, bool checkEnabled) {
    const std::string& path = getExecutablePath(l);
    std::uint32_t code = 0;
    std::unique_ptr<File> file = l.os.fs.openRead(path, code);
    if (!file) {
        l.log.error("Could not open %s", path.c_str());
        fatalPropertyWithArgument(l, prop::errorInternal, "30");
    }
    const IntegrityFields fields = readIntegrityFields(l, *file);
    if (!fields.magic) integrityFailed(l, dialog);
    std::uint32_t computed = fields.expected;
    if (checkEnabled && fields.flag != 0) {
        l.log.message("verifying integrity length %lld", static_cast<long long>(fields.length));
        const StreamChecksum sum = checksumStream(*file, fields.length, dialog);
        if (!sum.complete) {
            l.log.error("check ReadFile failed %d %d %lld", static_cast<int>(sum.lastRead), static_cast<int>(sum.error),
                        static_cast<long long>(sum.done));
            fatalPropertyWithArgument(l, prop::errorInternal, "34");
        }
        computed = sum.crc;
        l.log.message("checksums: %u %u %d %d", computed, fields.expected, static_cast<int>(computed),
                      static_cast<int>(fields.expected));
    } else if (dialog != nullptr) {
        dialog->setRange(100, 400);
        dialog->setPosition(101);
    }
    file.reset();
    if (computed != fields.expected) integrityFailed(l, dialog);
}

}  // namespace zendra::setup
