// libFuzzer target for the configuration record reader: arbitrary bytes go through the PE
// or ELF walk and the record fields, and also straight into the record fields from offset 0.
// Any failure must be a RecordError; nothing may read or allocate outside the data.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "record.h"

namespace {

// Counts lines so that the formatting runs without keeping text.
class CountingLog final : public zendra::Logger {
public:
    void write(bool, const std::string& text) override { bytes += text.size(); }
    std::size_t bytes = 0;
};

// Reads all record fields and checks that what came back fits into the input.
void readRecord(zendra::RecordReader& reader, std::size_t size) {
    const zendra::RecordHead head = reader.readHead();
    const std::vector<zendra::LanguageBlock> blocks = reader.readLanguageBlocks();
    std::size_t payload = 0;
    for (const auto& entry : head.strings) payload += entry.second.size();
    for (const auto& entry : head.messages) payload += 2 * entry.second.size();
    for (const auto& block : blocks) {
        payload += block.key.size();
        for (const auto& entry : block.messages) payload += 2 * entry.second.size();
    }
    if (payload > size || reader.position() > size) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zendra::MemoryFile file(std::vector<std::uint8_t>(data, data + size));
    CountingLog log;
    zendra::RecordReader reader(file, log);
    try {
        reader.seekToAppendedData();
        readRecord(reader, size);
    } catch (const zendra::RecordError&) {
    }
    file.seek(0);
    try {
        readRecord(reader, size);
    } catch (const zendra::RecordError&) {
    }
    return 0;
}
