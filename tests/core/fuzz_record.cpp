// libFuzzer target for the configuration record reader: arbitrary bytes go through the PE
// or ELF walk and the record fields, and also straight into the record fields from offset 0.
// Any failure must show as the reader's failure text, after which reads return nothing, log
// nothing and leave the file alone; nothing may read or allocate outside the data.
#include <cstddef>
#include <cstdint>
#include <cstring>
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
    if (payload > size || (!reader.failed() && reader.position() > size)) __builtin_trap();
}

// A failed reader keeps its first text and answers every further read with a neutral value.
void checkFailure(zendra::RecordReader& reader, zendra::File& file, const CountingLog& log) {
    const char* failure = reader.failure();
    if (failure == nullptr) return;
    if (std::strncmp(failure, "Internal Error: ", 16) != 0) __builtin_trap();
    const std::uint64_t at = file.position();
    const std::size_t logged = log.bytes;
    if (reader.seekToAppendedData() != 0 || reader.readInt() != 0 || !reader.readWString().empty() ||
        !reader.readHead().strings.empty() || !reader.readLanguageBlocks().empty()) {
        __builtin_trap();
    }
    if (reader.failure() != failure || file.position() != at || log.bytes != logged) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zendra::MemoryFile file(std::vector<std::uint8_t>(data, data + size));
    CountingLog log;
    zendra::RecordReader behindImage(file, log);
    behindImage.seekToAppendedData();
    readRecord(behindImage, size);
    checkFailure(behindImage, file, log);
    file.seek(0);
    zendra::RecordReader fromStart(file, log);
    readRecord(fromStart, size);
    checkFailure(fromStart, file, log);
    return 0;
}
