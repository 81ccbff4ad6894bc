#include "pack_dump.h"

#include <cinttypes>
#include <fstream>

#include "launcher_image.h"
#include "property_ids.h"
#include "property_store.h"

namespace zendra::pack {
namespace {

// The value the launcher would see for a string property: the last one in the table.
std::string lastValue(const Package& package, std::int32_t id) {
    std::string value;
    for (const auto& [key, text] : package.strings) {
        if (key == id) value = text;
    }
    return value;
}

std::vector<std::string> splitNames(const std::string& list) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t end = std::min(list.find(';', start), list.size());
        if (end > start) names.push_back(list.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

std::vector<std::uint8_t> readEntry(RecordReader& reader, MemoryFile& file, const std::string& name,
                                    std::vector<std::string>& notes) {
    const std::int64_t length = reader.readLong();
    if (reader.failed()) throw PackError(std::string("included file data damaged: ") + reader.failure());
    if (length <= 0) {
        if (length < 0) notes.push_back("note: included file \"" + name + "\" has length " +
                                        std::to_string(length) + " and is read as empty");
        return {};
    }
    const std::uint64_t at = file.position();
    const std::uint64_t size = file.bytes().size();
    if (at > size || static_cast<std::uint64_t>(length) > size - at) {
        throw PackError("included file data damaged: \"" + name + "\" needs " + std::to_string(length) +
                        " bytes, " + std::to_string(at > size ? 0 : size - at) + " remain");
    }
    const auto begin = file.bytes().begin() + static_cast<std::ptrdiff_t>(at);
    std::vector<std::uint8_t> data(begin, begin + static_cast<std::ptrdiff_t>(length));
    for (std::uint8_t& byte : data) byte ^= kIncludedFileMask;
    file.seek(at + static_cast<std::uint64_t>(length));
    return data;
}

void readIncludedFiles(RecordReader& reader, MemoryFile& file, PackageDump& dump) {
    const std::int32_t count = parseDecimal(lastValue(dump.package, prop::includedFileCount));
    const std::vector<std::string> names = splitNames(lastValue(dump.package, prop::includedFileNames));
    if (count > 0 && names.size() < static_cast<std::size_t>(count)) {
        dump.notes.push_back("note: " + std::to_string(count) + " included files announced but only " +
                             std::to_string(names.size()) + " names listed");
    }
    for (std::size_t i = 0; count > 0 && i < static_cast<std::size_t>(count) && i < names.size(); ++i) {
        dump.package.files.push_back({names[i], readEntry(reader, file, names[i], dump.notes)});
    }
}

IntegrityReport checkIntegrity(std::span<const std::uint8_t> bytes, const RecordHead& head, std::uint64_t record) {
    IntegrityReport report{head.integrityFlag, head.checksum, head.coveredLength, std::nullopt};
    const std::uint64_t start = record + kCoveredStart;
    if (head.coveredLength >= 0 && start <= bytes.size() &&
        static_cast<std::uint64_t>(head.coveredLength) <= bytes.size() - start) {
        report.computed = checksum(bytes.data() + start, static_cast<std::size_t>(head.coveredLength));
    }
    return report;
}

}  // namespace

std::string describe(const IntegrityReport& report) {
    std::string text = formatText("integrity: flag %" PRId32 ", checksum 0x%08" PRIx32 " over %" PRId64 " bytes: ",
                                  report.flag, report.expected, report.coveredLength);
    if (!report.computed) return text + "the covered range runs past the end of the file";
    if (report.matches()) return text + "matches";
    return text + formatText("MISMATCH (computed 0x%08" PRIx32 ")", *report.computed);
}

PackageDump readPackage(std::span<const std::uint8_t> bytes) {
    inspectLauncher(bytes);
    MemoryFile file(std::vector<std::uint8_t>(bytes.begin(), bytes.end()));
    NullLogger log;
    RecordReader reader(file, log);
    PackageDump dump;
    dump.recordOffset = reader.seekToAppendedData();
    RecordHead head = reader.readHead();
    dump.package.languages = reader.readLanguageBlocks();
    if (reader.failed()) throw PackError(std::string("no valid configuration record: ") + reader.failure());
    dump.dataOffset = reader.position();
    dump.package.integrityFlag = head.integrityFlag;
    dump.package.strings = std::move(head.strings);
    dump.package.messages = std::move(head.messages);
    readIncludedFiles(reader, file, dump);
    dump.endOffset = reader.position();
    dump.integrity = checkIntegrity(bytes, head, dump.recordOffset);
    if (dump.endOffset < bytes.size()) {
        dump.notes.push_back("note: " + std::to_string(bytes.size() - dump.endOffset) +
                             " bytes follow the included data (for example a signature)");
    }
    return dump;
}

void extractFiles(const Package& package, const std::filesystem::path& dir) {
    for (const IncludedFile& file : package.files) {
        if (std::optional<std::string> reason = unsafeNameReason(file.name)) {
            throw PackError("refusing to extract \"" + file.name + "\": " + *reason);
        }
    }
    for (const IncludedFile& file : package.files) {
        const std::filesystem::path target = hostPath(dir, file.name);
        std::error_code error;
        std::filesystem::create_directories(target.parent_path(), error);
        std::ofstream out(target, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(file.data.data()), static_cast<std::streamsize>(file.data.size()));
        out.close();
        if (!out) throw PackError("cannot write \"" + utf8Of(target) + "\"");
    }
}

}  // namespace zendra::pack
