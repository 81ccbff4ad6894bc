// Packaging ELF launchers with hand-built images: where the record goes, what is refused, and
// that the launcher's reader finds the record the tool wrote.
#include "elf_image.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "launcher_image.h"
#include "pack_dump.h"
#include "record_test_support.h"

namespace zendra::pack {
namespace {

using test::buildElf;
using test::kElfNoBits;
using test::kElfProgBits;
using test::TestElfShape;
using testing::ElementsAre;
using testing::HasSubstr;
using Bytes = std::vector<std::uint8_t>;

std::string refusalOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const PackError& e) {
        return e.what();
    }
    return "accepted";
}

TestElfShape shapeOf(bool wide, std::uint64_t tableOffset = 0) {
    TestElfShape shape;
    shape.wide = wide;
    shape.tableOffset = tableOffset;
    shape.segments = {{0, 0x100}, {0x100, 0x80}};
    return shape;
}

// Code and data covered by two segments, a bss; the section header table follows the data.
Bytes oneElf(bool wide = true) {
    return buildElf({{0, 0, 0}, {kElfProgBits, 0xB0, 0x50}, {kElfProgBits, 0x100, 0x80}, {kElfNoBits, 0x180, 0x4000}},
                    shapeOf(wide));
}

Package samplePackage() {
    Package p;
    p.strings = {{107, "1"}, {2002, "1"}, {2003, "a.txt"}};
    p.messages = {{20013, u"Setup"}};
    p.files = {{"a.txt", {'h', 'i'}}};
    return p;
}

TEST(PackElf, LayoutOfBothClasses) {
    for (const bool wide : {true, false}) {
        const ElfLayout last = inspectElf(oneElf(wide));
        const std::uint64_t header = wide ? 64 : 40;
        EXPECT_EQ(last.wide, wide);
        EXPECT_EQ(last.sectionCount, 4);
        EXPECT_EQ(last.entrySize, header);
        EXPECT_EQ(last.tableOffset, 0x180u);
        EXPECT_EQ(last.dataEnd, 0x180u) << "the bss occupies no file space";
        EXPECT_EQ(last.tableEnd, 0x180 + 4 * header);
        EXPECT_EQ(last.recordOffset, last.tableEnd);

        const Bytes dataLast = buildElf({{kElfProgBits, 0x100, 0x80}, {kElfProgBits, 0x200, 0x33}}, shapeOf(wide, 0x180));
        const ElfLayout behind = inspectElf(dataLast);
        EXPECT_EQ(behind.tableEnd, 0x180 + 2 * header);
        EXPECT_EQ(behind.recordOffset, 0x233u);
        EXPECT_EQ(dataLast.size(), 0x233u);
    }
}

TEST(PackElf, RefusesUnusableElfFiles) {
    const auto changed = [](std::size_t at, std::uint64_t value, int width) {
        Bytes bytes = oneElf();
        test::putLe(bytes, at, value, width);
        return bytes;
    };
    const std::size_t table = 0x180;
    const Bytes good = oneElf();
    const std::pair<Bytes, std::string> cases[] = {
        {Bytes{0x7F, 'E', 'L', 'F', 2}, "not a usable ELF file: the ELF header is cut short"},
        {Bytes(good.begin(), good.begin() + 60), "not a usable ELF file: the ELF header is cut short"},
        {changed(4, 3, 1), "not a usable ELF file: class 3 (only 32-bit and 64-bit files can be launchers)"},
        {changed(5, 2, 1), "not a usable ELF file: data encoding 2 (only little-endian files can be launchers)"},
        {changed(0x3C, 0, 2), "not a usable ELF file: it has no section header table"},
        {changed(0x3A, 40, 2), "not a usable ELF file: section headers of 40 bytes (at least 64 expected)"},
        {changed(0x28, 0x1000, 8), "not a usable ELF file: the section header table runs past the end of the file"},
        {changed(0x28, ~std::uint64_t{0}, 8),
         "not a usable ELF file: the section header table runs past the end of the file"},
        {changed(table + 128 + 32, 0x1000, 8),
         "not a usable ELF file: the data of section 2 (offset 256, 4096 bytes) runs past the end of the file "
         "(640 bytes)"},
        {changed(table + 128 + 24, ~std::uint64_t{0}, 8), "not a usable ELF file: the data of section 2 (offset "
                                                          "18446744073709551615, 128 bytes) runs past the end of "
                                                          "the file (640 bytes)"},
    };
    for (const auto& entry : cases) {
        EXPECT_EQ(refusalOf([&entry] { inspectElf(entry.first); }), entry.second);
        std::vector<std::string> notes;
        EXPECT_EQ(refusalOf([&entry, &notes] { launcherImage(entry.first, notes); }), entry.second);
    }
    EXPECT_EQ(refusalOf([] { launcherFormat(Bytes{0x7F, 'E', 'L'}); }), "not a PE or ELF file: no MZ or ELF header");
    EXPECT_EQ(refusalOf([] { inspectLauncher(Bytes(64, 0)); }), "not a PE or ELF file: no MZ or ELF header");
}

TEST(PackElf, RefusesImagesWhoseSegmentsTheRecordWouldCut) {
    std::vector<std::string> notes;
    TestElfShape shape = shapeOf(true);
    shape.segments.push_back({0x100, 0x400});  // reaches behind the section header table
    const Bytes reaching = buildElf({{kElfProgBits, 0x100, 0x80}}, shape);
    EXPECT_EQ(refusalOf([&] { launcherImage(reaching, notes); }),
              "cannot package this ELF file: segment 2 reaches behind the end of the section data and section "
              "header table (448) where the launcher expects its record");
    Bytes farTable = oneElf();
    test::putLe(farTable, 0x20, 0x10000, 8);  // e_phoff behind the end
    EXPECT_EQ(refusalOf([&] { launcherImage(farTable, notes); }),
              "not a usable ELF file: the program header table runs past the end of the file");
    Bytes smallEntries = oneElf(false);
    test::putLe(smallEntries, 0x2A, 16, 2);
    EXPECT_EQ(refusalOf([&] { launcherImage(smallEntries, notes); }),
              "not a usable ELF file: program headers of 16 bytes (at least 32 expected)");
    Bytes empty = buildElf({{kElfProgBits, 0x100, 0x80}}, shape);  // a segment without file data
    test::putLe(empty, 64 + 2 * 56 + 32, 0, 8);
    EXPECT_EQ(launcherImage(empty, notes).size(), empty.size());
    EXPECT_TRUE(notes.empty());
}

TEST(PackElf, PackagedFileIsTheImageThenTheRecordAndTheReaderFindsIt) {
    for (const bool wide : {true, false}) {
        const Bytes image = oneElf(wide);
        std::vector<std::string> notes;
        const Bytes out = packageExecutable(image, samplePackage(), notes);
        const Bytes record = encodeRecord(samplePackage());
        ASSERT_EQ(out.size(), image.size() + record.size());
        EXPECT_TRUE(std::equal(image.begin(), image.end(), out.begin()));
        EXPECT_TRUE(std::equal(record.begin(), record.end(), out.begin() + static_cast<long>(image.size())));
        EXPECT_TRUE(notes.empty());

        MemoryFile file(out);
        NullLogger log;
        RecordReader reader(file, log);
        EXPECT_EQ(reader.seekToAppendedData(), image.size());
        EXPECT_EQ(reader.readHead().strings, samplePackage().strings);

        const PackageDump dump = readPackage(out);
        EXPECT_EQ(dump.recordOffset, image.size());
        ASSERT_EQ(dump.package.files.size(), 1u);
        EXPECT_EQ(dump.package.files[0].data, (Bytes{'h', 'i'}));
        EXPECT_TRUE(dump.integrity.matches());
    }
}

TEST(PackElf, AnOlderRecordIsReplacedNotStacked) {
    std::vector<std::string> notes;
    const Bytes first = packageExecutable(oneElf(), samplePackage(), notes);
    Package second;
    second.strings = {{107, "5"}};
    const Bytes again = packageExecutable(first, second, notes);
    std::vector<std::string> none;
    EXPECT_EQ(again, packageExecutable(oneElf(), second, none));
    const std::size_t dropped = first.size() - oneElf().size();
    EXPECT_THAT(notes, ElementsAre("note: dropped " + std::to_string(dropped) +
                                   " bytes behind the section data and section header table (an earlier record or "
                                   "other appended data)"));
    EXPECT_EQ(readPackage(again).package.strings, second.strings);
}

TEST(PackElf, ADumpOfAnElfWithoutRecordSaysSo) {
    EXPECT_EQ(refusalOf([] { readPackage(oneElf()); }), "no valid configuration record: Internal Error: readInt");
    Bytes bigEndian = oneElf();
    bigEndian[5] = 2;
    EXPECT_THAT(refusalOf([&] { readPackage(bigEndian); }), HasSubstr("data encoding 2"));
}

}  // namespace
}  // namespace zendra::pack
