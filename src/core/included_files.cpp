#include "included_files.h"

#include <algorithm>
#include <array>
#include <memory>
#include <vector>

#include "errors.h"
#include "included_names.h"
#include "paths.h"
#include "property_ids.h"
#include "record.h"

namespace zendra {
namespace {

constexpr std::size_t kChunkSize = 8192;
constexpr std::uint8_t kDataMask = 0x5A;
constexpr std::uint32_t kAlreadyExists = 183;  // ERROR_ALREADY_EXISTS of a directory creation

// The own executable opened for reading; fatal when it cannot be opened.
std::unique_ptr<File> openSelf(Launcher& l) {
    const std::string& path = getExecutablePath(l);
    std::uint32_t code = 0;
    std::unique_ptr<File> file = l.os.fs.openRead(path, code);
    if (!file) {
        l.log.error("Could not open %s", path.c_str());
        fatalMessage(l, "Error opening media file. Please move this file to an ascii-only path like c:\\");
    }
    return file;
}

// The names of a ";"-separated list; consecutive separators give no empty names.
std::vector<std::string> splitNames(const std::string& list) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= list.size()) {
        std::size_t end = list.find(';', start);
        if (end == std::string::npos) end = list.size();
        if (end > start) names.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

// Creates the name's first directory level inside the per-run directory.
void createFirstLevel(Launcher& l, const std::string& name) {
    const std::size_t cut = name.find(l.os.paths().separator);
    if (cut == std::string::npos) return;
    const std::string dir = joinPath(l.os.paths(), l.launcherTempDir, name.substr(0, cut));
    l.log.message("creating directory %s", dir.c_str());
    std::uint32_t code = 0;
    if (!l.os.fs.createDirectory(dir, code) && code != kAlreadyExists) {
        l.log.error("failed to create directory %s", dir.c_str());
    }
}

// Extracts the entries named in property 2003 from the open executable.
int extractNamedEntries(Launcher& l, File& self, std::int32_t count) {
    std::int32_t extracted = 0;
    for (const std::string& name : splitNames(l.store.getProperty(prop::includedFileNames))) {
        if (extracted >= count) break;
        if (const char* reason = unsafeIncludedName(name)) {
            l.log.error("refusing included file %s: %s", name.c_str(), reason);
            fatalPropertyWithArgument(l, prop::errorInternal, "11");
        }
        const std::string nativeName = toNativeSeparators(l.os.paths(), name);
        const std::string target = joinPath(l.os.paths(), l.launcherTempDir, nativeName);
        createFirstLevel(l, nativeName);
        if (const int result = extractIncludedFile(l, self, target); result != 0) {
            l.log.error("Failed to extract %s", target.c_str());
            return result;
        }
        ++extracted;
    }
    return 0;
}

}  // namespace

int copyDescrambled(Launcher& l, File& source, File& target, std::int64_t count, bool descramble) {
    std::array<std::uint8_t, kChunkSize> buffer{};
    std::int64_t copied = 0;
    while (copied < count) {
        const auto wanted = static_cast<std::size_t>(std::min<std::int64_t>(count - copied, kChunkSize));
        const IoResult got = source.read(buffer.data(), wanted);
        if (!got.ok || got.bytes == 0) {
            l.log.error("ReadFile failed %d %d %lld", static_cast<int>(got.bytes), static_cast<int>(got.error),
                        static_cast<long long>(copied));
            return 1;
        }
        if (descramble) {
            for (std::size_t i = 0; i < got.bytes; ++i) buffer[i] ^= kDataMask;
        }
        for (std::size_t written = 0; written < got.bytes;) {
            const IoResult put = target.write(buffer.data() + written, got.bytes - written);
            if (!put.ok || put.bytes == 0) {
                l.log.error("WriteFile failed %d %d", static_cast<int>(got.bytes - written),
                            static_cast<int>(put.error));
                return 2;
            }
            written += put.bytes;
        }
        copied += static_cast<std::int64_t>(got.bytes);
    }
    return 0;
}

int extractIncludedFile(Launcher& l, File& source, const std::string& target) {
    RecordReader reader(source, l.log);
    const std::int64_t length = reader.readLong();
    if (reader.failed()) fatalMessage(l, reader.failure());
    l.log.message("extracting %s (size: %lld)", target.c_str(), static_cast<long long>(length));
    if (length <= 0) return 0;
    std::uint32_t code = 0;
    std::unique_ptr<File> out = l.os.fs.createWrite(target, code);
    if (!out) fatalPropertyWithArgument(l, prop::errorInternal, "11");
    return copyDescrambled(l, source, *out, length, true);
}

int extractIncludedFiles(Launcher& l, bool createDirectory) {
    l.log.message("extracting files");
    const std::int32_t count = l.store.getIntProperty(prop::includedFileCount);
    l.log.message("Included files: %d", count);
    if (count == 0) {
        if (createDirectory) l.launcherTempDir.clear();
        return 0;
    }
    if (createDirectory) createLauncherTempDir(l);
    std::unique_ptr<File> self = openSelf(l);
    self->seek(l.store.configurationEndPosition);
    if (const int result = extractNamedEntries(l, *self, count); result != 0) return result;
    l.unextractedPosition = static_cast<std::uint32_t>(self->position());
    self.reset();
    l.log.message("extracting files done");
    return 0;
}

}  // namespace zendra
