// Writes the seed corpus of the record fuzzer: packaged test images (PE and ELF) and bare
// records, made by the packaging library. Usage: record_seed_corpus DIR
#include <filesystem>
#include <fstream>
#include <iostream>

#include "launcher_image.h"
#include "record_test_support.h"

namespace {

using zendra::pack::Package;
constexpr std::uint32_t kProgBits = zendra::test::kElfProgBits;
constexpr std::uint32_t kNoBits = zendra::test::kElfNoBits;

std::vector<Package> packages() {
    Package empty;
    empty.integrityFlag = 0;
    Package full;
    full.strings = {{107, "1"}, {121, "A1lib\\app.jar;D0classes"}, {107, "5"}, {10114, "255,128,0"}};
    full.messages = {{20013, u"Setup \u00E4\U0001F600"}, {20016, u""}};
    full.languages = {{"de", {{20013, u"Installation"}}}, {"", {}}, {"de_AT", {{20013, u"Servus"}}}};
    full.strings.emplace_back(2002, "2");
    full.strings.emplace_back(2003, "a.txt;lib\\b.bin");
    full.files = {{"a.txt", {'h', 'i'}}, {"lib\\b.bin", {0x5A, 0, 0xFF}}};
    return {empty, full};
}

void write(const std::filesystem::path& path, const std::vector<std::uint8_t>& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: record_seed_corpus DIR\n";
        return 2;
    }
    const std::filesystem::path dir = argv[1];
    std::filesystem::create_directories(dir);
    const std::vector<std::uint8_t> images[] = {
        zendra::test::buildPe({{0x200, 0x80}}),
        zendra::test::buildPe({{0x200, 0x100}, {0x300, 0x40}}, {0x40, 0x70}),
        zendra::test::buildElf({{0, 0, 0}, {kProgBits, 0x100, 0x80}, {kNoBits, 0x180, 0x1000}}),
        zendra::test::buildElf({{kProgBits, 0x60, 0x40}, {kProgBits, 0x200, 0x20}}, {false, 0x100, {}}),
    };
    int index = 0;
    for (const Package& package : packages()) {
        write(dir / ("record-" + std::to_string(index++)), zendra::pack::encodeRecord(package));
        for (const std::vector<std::uint8_t>& image : images) {
            std::vector<std::string> notes;
            write(dir / ("packaged-" + std::to_string(index++)),
                  zendra::pack::packageExecutable(image, package, notes));
        }
    }
    return 0;
}
