// The record behind an ELF launcher: where the walk over the section headers puts it, and how
// damaged or hostile headers fail.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "pack_model.h"
#include "record.h"
#include "record_test_support.h"

namespace zendra {
namespace {

using test::failureOf;
using test::loadFailure;

using test::buildElf;
using test::kElfNoBits;
using test::kElfProgBits;
using test::TestElfShape;
using testing::ElementsAre;
using Bytes = std::vector<std::uint8_t>;

// The walk's result on bytes: the record offset, or the failure text.
std::string walk(const Bytes& bytes) {
    MemoryFile file(bytes);
    NullLogger log;
    RecordReader reader(file, log);
    const std::string result = std::to_string(reader.seekToAppendedData());
    return reader.failed() ? reader.failure() : result;
}

TestElfShape elf32() {
    TestElfShape shape;
    shape.wide = false;
    return shape;
}

// Text, data and bss sections; the section header table follows the data.
Bytes typicalElf(const TestElfShape& shape = {}) {
    return buildElf(
        {{0, 0, 0}, {kElfProgBits, 0x100, 0x300}, {kElfProgBits, 0x400, 0x80}, {kElfNoBits, 0x480, 0x10000}}, shape);
}

TEST(RecordElfWalk, StartsBehindTheSectionTableAtTheEndOfBothClasses) {
    for (const bool wide : {true, false}) {
        TestElfShape shape;
        shape.wide = wide;
        const Bytes image = typicalElf(shape);
        const std::size_t header = wide ? 64 : 40;
        ASSERT_EQ(image.size(), 0x480 + 4 * header) << "the table follows the data";
        test::RecordingLog log;
        MemoryFile file(image);
        RecordReader reader(file, log);
        EXPECT_EQ(reader.seekToAppendedData(), image.size()) << wide;
        EXPECT_EQ(reader.position(), image.size());
        const std::string end = std::to_string(image.size());
        EXPECT_THAT(log.texts(),
                    ElementsAre(wide ? "ELF class: 2, data encoding: 1" : "ELF class: 1, data encoding: 1",
                                "number of sections: 4", "size of section headers: " + std::to_string(header),
                                "sectionTableStart: 1152", "sectionTableEnd: " + end + ", sectionDataEnd: 1152"));
        EXPECT_THAT(log.lines, testing::Each(testing::Field(&std::pair<bool, std::string>::first, false)));
    }
}

TEST(RecordElfWalk, SectionDataBehindTheTableDecides) {
    for (const bool wide : {true, false}) {
        TestElfShape shape;
        shape.wide = wide;
        shape.tableOffset = 0x200;  // the table sits between the sections' data
        const Bytes image = buildElf({{kElfProgBits, 0x80, 0x100}, {kElfProgBits, 0x400, 0x123}}, shape);
        EXPECT_EQ(image.size(), 0x523u);
        EXPECT_EQ(walk(image), "1315") << wide;
    }
}

TEST(RecordElfWalk, SectionsWithoutFileDataDoNotCount) {
    TestElfShape shape;
    shape.tableOffset = 0x200;
    // A huge bss far behind the file, even one whose end overflows 64 bits.
    Bytes image = buildElf({{kElfProgBits, 0x80, 0x100}, {kElfNoBits, 0x300, 0x7FFFFFFF}}, shape);
    EXPECT_EQ(walk(image), std::to_string(0x200 + 2 * 64));
    test::putLe(image, 0x200 + 64 + 24, ~std::uint64_t{0}, 8);
    test::putLe(image, 0x200 + 64 + 32, ~std::uint64_t{0}, 8);
    EXPECT_EQ(walk(image), std::to_string(0x200 + 2 * 64));
    test::putLe(image, 0x200 + 64 + 4, kElfProgBits, 4);  // the same section with file data
    EXPECT_EQ(walk(image), "Internal Error: readInt");
}

TEST(RecordElfWalk, ReadsTheRecordThePackagerAppends) {
    pack::Package package;
    package.strings = {{107, "1"}, {121, "A1app.jar"}};
    package.messages = {{20013, u"Setup"}};
    package.languages = {{"de", {{20013, u"Installation"}}}};
    for (const bool wide : {true, false}) {
        TestElfShape shape;
        shape.wide = wide;
        Bytes file = typicalElf(shape);
        const std::size_t imageSize = file.size();
        const Bytes record = pack::encodeRecord(package);
        file.insert(file.end(), record.begin(), record.end());
        MemoryFile memory(file);
        NullLogger log;
        RecordReader reader(memory, log);
        EXPECT_EQ(reader.seekToAppendedData(), imageSize);
        const RecordHead head = reader.readHead();
        EXPECT_EQ(head.strings, package.strings);
        EXPECT_EQ(head.messages, package.messages);
        EXPECT_EQ(reader.readLanguageBlocks().size(), 1u);
        EXPECT_EQ(reader.position(), file.size());
    }
}

TEST(RecordElfWalk, NothingOrSomethingElseAppendedFailsLikeThePeWalk) {
    Bytes image = typicalElf();
    EXPECT_EQ(loadFailure(image), "Internal Error: readInt");
    image.resize(image.size() + 64, 0x11);
    EXPECT_EQ(loadFailure(image), "Internal Error: magic");
}

TEST(RecordElfWalk, TruncatedHeadersFailWithThePrimitiveThatReadsThere) {
    const Bytes wide = typicalElf();
    const Bytes narrow = typicalElf(elf32());
    const std::size_t table = 0x480;
    struct Cut {
        const Bytes& image;
        std::size_t size;
        const char* failure;
    };
    const Cut cuts[] = {
        {wide, 3, "Internal Error: readInt"},  // no ELF magic yet: the PE walk's first read
        {wide, 5, "Internal Error: readShort"},
        {wide, 0x2C, "Internal Error: readLong"},
        {wide, 0x3B, "Internal Error: readShort"},
        {wide, 0x3D, "Internal Error: readShort"},
        {wide, table + 64 + 6, "Internal Error: readInt"},
        {wide, table + 64 + 24 + 3, "Internal Error: readLong"},
        {wide, table + 64 + 32 + 7, "Internal Error: readLong"},
        {narrow, 0x22, "Internal Error: readInt"},
        {narrow, 0x2F, "Internal Error: readShort"},
        {narrow, table + 40 + 18, "Internal Error: readInt"},
        {narrow, table + 40 + 22, "Internal Error: readInt"},
    };
    for (const Cut& cut : cuts) {
        const Bytes shorter(cut.image.begin(), cut.image.begin() + static_cast<long>(cut.size));
        EXPECT_EQ(walk(shorter), cut.failure) << "cut at " << cut.size;
    }
}

TEST(RecordElfWalk, ShortReadsAreLoggedLikeThePeWalk) {
    const Bytes image = typicalElf();
    const Bytes shorter(image.begin(), image.begin() + 0x2C);
    test::RecordingLog log;
    MemoryFile file(shorter);
    RecordReader reader(file, log);
    reader.seekToAppendedData();
    EXPECT_EQ(failureOf(reader), "Internal Error: readLong");
    EXPECT_THAT(log.texts(), ElementsAre("ELF class: 2, data encoding: 1", "error 0\n"));
}

TEST(RecordElfWalk, HeadersPointingOutsideTheFileFailCleanly) {
    const Bytes good = typicalElf();
    const std::size_t table = 0x480;
    const std::pair<std::pair<std::size_t, std::uint64_t>, std::pair<int, const char*>> cases[] = {
        {{0x28, good.size() + 0x1000}, {8, "Internal Error: readInt"}},        // table behind the end
        {{0x28, std::uint64_t{1} << 40}, {8, "Internal Error: readInt"}},      // beyond 32-bit offsets
        {{0x28, ~std::uint64_t{0} - 3}, {8, "Internal Error: readInt"}},       // negative as int64
        {{0x3C, 0xFFFF}, {2, "Internal Error: readInt"}},                      // more headers than the file holds
        {{table + 64 + 24, good.size() + 5}, {8, "Internal Error: readInt"}},  // data behind the end: no magic
        {{table + 64 + 32, std::uint64_t{1} << 33}, {8, "Internal Error: readInt"}},
        {{table + 64 + 24, ~std::uint64_t{0}}, {8, "Internal Error: readInt"}},
    };
    for (const auto& [field, expected] : cases) {
        Bytes bad = good;
        test::putLe(bad, field.first, field.second, expected.first);
        EXPECT_EQ(loadFailure(bad), expected.second) << "field at " << field.first;
    }
    Bytes wrapped = typicalElf(elf32());  // 32-bit offset and size whose sum passes 4 GiB
    test::putLe(wrapped, table + 40 + 16, 0xFFFFFF00u, 4);
    test::putLe(wrapped, table + 40 + 20, 0x200u, 4);
    EXPECT_EQ(loadFailure(wrapped), "Internal Error: readInt");
}

TEST(RecordElfWalk, NoSectionTableLeavesTheRecordAtTheStartWhereNoneIs) {
    Bytes image = typicalElf();
    test::putLe(image, 0x28, 0, 8);
    test::putLe(image, 0x3C, 0, 2);
    EXPECT_EQ(walk(image), "0");
    EXPECT_EQ(loadFailure(image), "Internal Error: magic");
}

TEST(RecordElfWalk, UnsupportedClassesEncodingsAndEntrySizesAreRefused) {
    const std::pair<std::size_t, std::uint64_t> changes[] = {
        {5, 2},     // big-endian
        {5, 0},     // no encoding
        {4, 0},     // no class
        {4, 3},     // unknown class
        {0x3A, 0},  // section headers of no size
        {0x3A, 63},
    };
    for (const auto& [at, value] : changes) {
        Bytes bad = typicalElf();
        bad[at] = static_cast<std::uint8_t>(value);
        EXPECT_EQ(walk(bad), "Internal Error: magic") << "byte " << at << " = " << value;
    }
    Bytes bigEndian = typicalElf();
    bigEndian[5] = 2;
    test::RecordingLog log;
    MemoryFile file(bigEndian);
    RecordReader reader(file, log);
    reader.seekToAppendedData();
    EXPECT_EQ(failureOf(reader), "Internal Error: magic");
    EXPECT_THAT(log.texts(), ElementsAre("ELF class: 2, data encoding: 2"));

    Bytes narrow = typicalElf(elf32());
    narrow[0x2E] = 39;
    EXPECT_EQ(walk(narrow), "Internal Error: magic");
    Bytes larger = buildElf({{kElfProgBits, 0x100, 0x80}}, elf32());  // larger entries are accepted
    ASSERT_EQ(larger.size(), 0x180u + 40);
    larger[0x2E] = 48;
    EXPECT_EQ(walk(larger), std::to_string(0x180 + 48));
}

TEST(RecordElfWalk, AFailingSeekFallsBackToThePeWalksFailure) {
    test::QuirkyFile file(typicalElf());
    file.seekWorks = false;
    NullLogger log;
    RecordReader reader(file, log);
    reader.seekToAppendedData();
    EXPECT_EQ(failureOf(reader), "Internal Error: readInt");
}

}  // namespace
}  // namespace zendra
