#include "record.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <climits>

#include "pack_model.h"
#include "record_test_support.h"

namespace zendra {
namespace {

using test::failureOf;
using test::loadFailure;

using pack::Package;
using test::RecordBytes;
using testing::ElementsAre;
using testing::IsEmpty;
using Messages = std::vector<std::pair<std::int32_t, std::u16string>>;

struct ReadBack {
    RecordHead head;
    std::vector<LanguageBlock> blocks;
    std::uint64_t end = 0;
    std::string failure;
};

ReadBack readAll(const std::vector<std::uint8_t>& bytes, Logger& log) {
    MemoryFile file(bytes);
    RecordReader reader(file, log);
    ReadBack out;
    out.head = reader.readHead();
    out.blocks = reader.readLanguageBlocks();
    out.end = reader.position();
    out.failure = failureOf(reader);
    return out;
}

ReadBack readAll(const std::vector<std::uint8_t>& bytes) {
    NullLogger log;
    return readAll(bytes, log);
}

std::string readFailure(const std::vector<std::uint8_t>& bytes) {
    return readAll(bytes).failure;
}

// Blocks as comparable pairs of key and messages.
std::vector<std::pair<std::string, Messages>> flat(const std::vector<LanguageBlock>& blocks) {
    std::vector<std::pair<std::string, Messages>> out;
    for (const LanguageBlock& block : blocks) out.emplace_back(block.key, block.messages);
    return out;
}

// The head of a record up to the message count, by hand.
RecordBytes headerBytes() {
    RecordBytes r;
    r.i32(kRecordMagic).i32(1).i32(0x1234).i64(99);
    return r;
}

TEST(RecordLayout, EmptyTablesReadAsEmptyAndEndBehindTheBlockCount) {
    Package package;
    package.integrityFlag = 0;
    const std::vector<std::uint8_t> bytes = pack::encodeRecord(package);
    const ReadBack back = readAll(bytes);
    EXPECT_EQ(back.head.integrityFlag, 0);
    EXPECT_EQ(back.head.coveredLength, 12);  // the three zero counts
    EXPECT_THAT(back.head.strings, IsEmpty());
    EXPECT_THAT(back.head.messages, IsEmpty());
    EXPECT_THAT(back.blocks, IsEmpty());
    EXPECT_EQ(back.end, bytes.size());
}

TEST(RecordLayout, TablesKeepRecordOrderAndDuplicates) {
    Package package;
    package.strings = {{107, "1"}, {121, "A1app.jar"}, {107, "5"}, {-3, "negative id"}};
    package.messages = {{20013, u"first"}, {20013, u"second"}, {1000, u"message id 1000"}};
    const ReadBack back = readAll(pack::encodeRecord(package));
    EXPECT_EQ(back.head.integrityFlag, 1);
    EXPECT_EQ(back.head.strings, package.strings);
    EXPECT_EQ(back.head.messages, package.messages);
}

TEST(RecordLayout, LanguageBlocksComeBackRawInOrder) {
    Package package;
    package.messages = {{20013, u"Setup"}};
    package.languages = {{"de", {{20013, u"Installation"}, {20001, u"Lade"}}},
                         {"", {}},
                         {"de_AT", {{20013, u"Servus"}, {20013, u"Servus 2"}}}};
    const ReadBack back = readAll(pack::encodeRecord(package));
    EXPECT_EQ(flat(back.blocks), flat(package.languages));
}

TEST(RecordLayout, IncludedDataFollowsTheLastBlock) {
    Package package;
    package.strings = {{2002, "1"}, {2003, "a.txt"}};
    package.files = {{"a.txt", {1, 2, 3}}};
    const std::vector<std::uint8_t> bytes = pack::encodeRecord(package);
    const ReadBack back = readAll(bytes);
    EXPECT_EQ(back.end, bytes.size() - 8 - 3);
    EXPECT_EQ(bytes[back.end], 3);  // int64 length, little-endian
    EXPECT_EQ(bytes[back.end + 8], 1 ^ 0x5A);
}

TEST(RecordLayout, EmptyAndNonAsciiValuesSurviveExactly) {
    Package package;
    const std::string ansi("\xE4\xF6\0tail", 7);  // 8-bit text with an embedded NUL
    const std::u16string wide = u"Gr\u00FC\u00DFe \U0001F600 \u4E2D";
    const std::u16string loneSurrogate(1, char16_t{0xD800});
    package.strings = {{1, ""}, {2, ansi}};
    package.messages = {{3, u""}, {4, wide}, {5, loneSurrogate}};
    package.languages = {{"", {{6, u""}}}};
    const ReadBack back = readAll(pack::encodeRecord(package));
    EXPECT_EQ(back.head.strings, package.strings);
    EXPECT_EQ(back.head.messages, package.messages);
    EXPECT_EQ(back.blocks[0].messages, (Messages{{6, u""}}));
}

TEST(RecordLayout, CountsOfZeroOrLessMeanNoEntries) {
    for (std::int64_t count : {std::int64_t{0}, std::int64_t{-1}, std::int64_t{INT_MIN}}) {
        RecordBytes r = headerBytes();
        r.i32(count).i32(count).i32(count);
        const ReadBack back = readAll(r.bytes);
        EXPECT_THAT(back.head.strings, IsEmpty()) << count;
        EXPECT_THAT(back.head.messages, IsEmpty()) << count;
        EXPECT_THAT(back.blocks, IsEmpty()) << count;
        EXPECT_EQ(back.end, r.bytes.size());
    }
    RecordBytes r = headerBytes();
    r.i32(0).i32(0).i32(1).str("de").i32(-7);
    EXPECT_EQ(flat(readAll(r.bytes).blocks), flat({{"de", {}}}));
}

TEST(RecordLayout, IntegrityFieldsAreReadAsStored) {
    RecordBytes r;
    r.i32(kRecordMagic).i32(-2).i32(0xFFFFFFFF).i64(-5).i32(0).i32(0).i32(0);
    const RecordHead head = readAll(r.bytes).head;
    EXPECT_EQ(head.integrityFlag, -2);
    EXPECT_EQ(head.checksum, 0xFFFFFFFFu);
    EXPECT_EQ(head.coveredLength, -5);
}

TEST(RecordLayout, WrongMagicFailsBeforeAnythingElse) {
    RecordBytes r;
    r.i32(0xE8E413D4).i32(0).i32(0).i64(0).i32(0).i32(0).i32(0);
    EXPECT_EQ(readFailure(r.bytes), "Internal Error: magic");
    r.bytes[0] = 0xD5;
    EXPECT_EQ(readFailure(r.bytes), "no error");
}

// A record with every kind of field, written by the packager and mirrored by hand so that
// every byte is attributed to the primitive that reads it.
RecordBytes fullRecord() {
    Package package;
    package.strings = {{107, "1"}, {121, ""}, {146, "work"}};
    package.messages = {{20013, u"Setup \u00E4"}, {20016, u""}};
    package.languages = {{"de", {{20013, u"Inst"}}}, {"", {}}};
    RecordBytes r;
    const std::vector<std::uint8_t> written = pack::encodeRecord(package);
    const std::uint32_t crc = static_cast<std::uint32_t>(written[8] | written[9] << 8 | written[10] << 16 |
                                                         static_cast<std::uint32_t>(written[11]) << 24);
    r.i32(kRecordMagic).i32(1).i32(crc).i64(static_cast<std::int64_t>(written.size() - 20));
    r.i32(3).i32(107).str("1").i32(121).str("").i32(146).str("work");
    r.i32(2).i32(20013).wstr(u"Setup \u00E4").i32(20016).wstr(u"");
    r.i32(2).str("de").i32(1).i32(20013).wstr(u"Inst").str("").i32(0);
    EXPECT_EQ(r.bytes, written) << "the packager's layout differs from the hand-built one";
    return r;
}

TEST(RecordTruncation, EveryCutFailsWithThePrimitiveItLandsIn) {
    const RecordBytes full = fullRecord();
    EXPECT_EQ(readFailure(full.bytes), "no error");
    for (const RecordBytes::Span& span : full.spans) {
        for (std::size_t cut = span.begin; cut < span.end; ++cut) {
            const std::vector<std::uint8_t> shorter(full.bytes.begin(), full.bytes.begin() + static_cast<long>(cut));
            EXPECT_EQ(readFailure(shorter), span.failure) << "cut at " << cut;
        }
    }
}

TEST(RecordTruncation, ShortIntegerReadsLogTheSystemErrorAndByteCount) {
    RecordBytes r = headerBytes();
    r.bytes.resize(18);  // inside the covered length
    test::RecordingLog log;
    EXPECT_EQ(readAll(r.bytes, log).failure, "Internal Error: readLong");
    EXPECT_THAT(log.texts(), ElementsAre("error 0\n"));

    r.bytes.resize(2);  // inside the magic
    log.lines.clear();
    EXPECT_EQ(readAll(r.bytes, log).failure, "Internal Error: readInt");
    EXPECT_THAT(log.texts(), ElementsAre("error 0 2\n"));
    EXPECT_FALSE(log.lines[0].first);

    test::QuirkyFile broken(headerBytes().bytes);
    broken.failAfter = 5;
    broken.readError = 23;
    log.lines.clear();
    RecordReader reader(broken, log);
    EXPECT_EQ(reader.readInt(), static_cast<std::int32_t>(kRecordMagic));
    reader.readInt();
    EXPECT_EQ(failureOf(reader), "Internal Error: readInt");
    RecordReader again(broken, log);
    again.readShort();
    EXPECT_EQ(failureOf(again), "Internal Error: readShort");
    EXPECT_THAT(log.texts(), ElementsAre("error 23 1\n", "error 23\n"));
}

TEST(RecordTruncation, AHugeCountBeforeACutStopsAtTheFirstFailure) {
    // The string, message or block count, then an id or key length cut after two bytes.
    for (const int zeros : {0, 1, 2}) {
        RecordBytes r = headerBytes();
        for (int i = 0; i < zeros; ++i) r.i32(0);
        r.i32(INT_MAX).raw({7, 0});
        test::RecordingLog log;
        MemoryFile file(r.bytes);
        RecordReader reader(file, log);
        EXPECT_THAT(reader.readHead().strings, IsEmpty()) << zeros;
        EXPECT_THAT(reader.readLanguageBlocks(), IsEmpty()) << zeros;
        EXPECT_EQ(reader.readLong(), 0);
        EXPECT_EQ(failureOf(reader), "Internal Error: readInt") << zeros;
        EXPECT_THAT(log.texts(), ElementsAre("error 0 2\n")) << zeros;
    }
}

TEST(RecordPrimitives, LittleEndianSignedValues) {
    MemoryFile file({0xFE, 0xFF, 0x01, 0x02, 0x03, 0x84, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x7F});
    NullLogger log;
    RecordReader reader(file, log);
    EXPECT_EQ(reader.readShort(), -2);
    EXPECT_EQ(reader.readInt(), static_cast<std::int32_t>(0x84030201));
    EXPECT_EQ(reader.readLong(), INT64_MAX);
    EXPECT_EQ(reader.position(), 14u);
}

TEST(RecordPrimitives, ReadsThatTrickleInByteByByteStillAddUp) {
    const RecordBytes full = fullRecord();
    test::QuirkyFile file(full.bytes);
    file.chunk = 1;
    NullLogger log;
    RecordReader reader(file, log);
    const RecordHead head = reader.readHead();
    EXPECT_EQ(head.messages[0].second, u"Setup \u00E4");
    EXPECT_EQ(reader.readLanguageBlocks().size(), 2u);
    EXPECT_EQ(reader.position(), full.bytes.size());
}

TEST(RecordLengths, NegativeOddOrOversizedLengthsFailWithTheStringPrimitive) {
    struct Case {
        std::int64_t length;
        bool wide;
        const char* failure;
    };
    const Case cases[] = {{-1, false, "Internal Error: readString"},  {INT_MIN, false, "Internal Error: readString"},
                          {5, false, "Internal Error: readString"},   {INT_MAX, false, "Internal Error: readString"},
                          {-2, true, "Internal Error: readWString"},  {3, true, "Internal Error: readWString"},
                          {6, true, "Internal Error: readWString"},   {INT_MAX - 1, true, "Internal Error: readWString"}};
    for (const Case& c : cases) {
        RecordBytes r = headerBytes();
        if (c.wide) r.i32(0).i32(1).i32(20013);
        else r.i32(1).i32(107);
        r.i32(c.length).raw({'a', 'b', 'c', 'd'});  // four bytes remain
        EXPECT_EQ(readFailure(r.bytes), c.failure) << c.length;
    }
}

TEST(RecordLengths, ExactlyTheRemainingBytesAreEnough) {
    MemoryFile file(RecordBytes().str("abcd").wstr(u"xy").bytes);
    NullLogger log;
    RecordReader reader(file, log);
    EXPECT_EQ(reader.readString(), "abcd");
    EXPECT_EQ(reader.readWString(), u"xy");
    EXPECT_EQ(reader.position(), file.bytes().size());
}

TEST(RecordLengths, UnknownFileSizeStillEndsAtTheDataWithoutHugeAllocations) {
    RecordBytes r;
    r.i32(INT_MAX).raw(std::vector<std::uint8_t>(100000, 'x'));
    test::QuirkyFile file(r.bytes);
    file.sizeKnown = false;
    NullLogger log;
    RecordReader reader(file, log);
    reader.readString();
    EXPECT_EQ(failureOf(reader), "Internal Error: readString");

    test::QuirkyFile exact(RecordBytes().wstr(u"ok").bytes);
    exact.sizeKnown = false;
    RecordReader exactReader(exact, log);
    EXPECT_EQ(exactReader.readWString(), u"ok");
}

// Three sections; the middle one ends last in the file, the last header ends earlier.
std::vector<std::uint8_t> threeSectionPe() {
    return test::buildPe({{0x400, 0x200}, {0x600, 0x600}, {0x800, 0x100}});
}

TEST(RecordPeWalk, StartsBehindTheLastHeaderNotTheLargestEnd) {
    test::RecordingLog log;
    MemoryFile file(threeSectionPe());
    RecordReader reader(file, log);
    EXPECT_EQ(reader.seekToAppendedData(), 0x900u);
    EXPECT_EQ(reader.position(), 0x900u);
    const int lastHeader = 0x80 + 0xF0 + 40 * 3 - 16;
    EXPECT_THAT(log.texts(), ElementsAre("number of sections: 3", "size of optional headers: 240",
                                         "resSectionTableStart: " + std::to_string(lastHeader),
                                         "rawDataSize: 256, rawDataOffset: 2048"));
    EXPECT_THAT(log.lines, testing::Each(testing::Field(&std::pair<bool, std::string>::first, false)));
}

TEST(RecordPeWalk, NothingAppendedEndsInReadIntOrMagic) {
    std::vector<std::uint8_t> image = test::buildPe({{0x400, 0x200}});
    EXPECT_EQ(loadFailure(image), "Internal Error: readInt");
    image.resize(image.size() + 64, 0x11);
    EXPECT_EQ(loadFailure(image), "Internal Error: magic");
}

TEST(RecordPeWalk, HeadersPointingOutsideTheFileFailCleanly) {
    const auto walkFailure = [](std::vector<std::uint8_t> bytes) {
        MemoryFile file(std::move(bytes));
        NullLogger log;
        RecordReader reader(file, log);
        reader.seekToAppendedData();
        return failureOf(reader);
    };
    const std::vector<std::uint8_t> good = threeSectionPe();
    EXPECT_EQ(walkFailure({}), "Internal Error: readInt");
    EXPECT_EQ(walkFailure(std::vector<std::uint8_t>(good.begin(), good.begin() + 62)), "Internal Error: readInt");
    std::vector<std::uint8_t> bad = good;
    test::putLe(bad, 60, 0x7FFFFFF0, 4);  // e_lfanew far behind the end
    EXPECT_EQ(walkFailure(bad), "Internal Error: readShort");
    test::putLe(bad, 60, 0x80000000, 4);  // negative e_lfanew
    EXPECT_EQ(walkFailure(bad), "Internal Error: readShort");
    bad = good;
    test::putLe(bad, 0x80 + 6, 0x7FFF, 2);  // section table far behind the end
    EXPECT_EQ(walkFailure(bad), "Internal Error: readInt");
    bad = good;
    test::putLe(bad, 0x80 + 6, 0xFFF0, 2);  // negative section count: table before the file
    EXPECT_EQ(walkFailure(bad), "Internal Error: readInt");
    bad = good;
    test::putLe(bad, 0x80 + 24 + 0xF0 + 80 + 20, 0x80000000, 4);  // negative raw data offset
    EXPECT_EQ(walkFailure(bad), "Internal Error: readInt");
}

TEST(RecordPeWalk, AFailingSeekIsAReadFailureNotACrash) {
    test::QuirkyFile file(threeSectionPe());
    file.seekWorks = false;
    NullLogger log;
    RecordReader reader(file, log);
    reader.seekToAppendedData();
    EXPECT_EQ(failureOf(reader), "Internal Error: readInt");
}

TEST(RecordMemoryFile, BehavesLikeAFileAtAndBeyondItsEnd) {
    MemoryFile file({1, 2, 3});
    std::uint8_t buffer[8] = {};
    EXPECT_TRUE(file.seek(10));
    IoResult past = file.read(buffer, sizeof buffer);
    EXPECT_TRUE(past.ok);
    EXPECT_EQ(past.bytes, 0u);
    EXPECT_FALSE(file.write(buffer, 1).ok) << "a write must not leave a gap";
    file.seek(2);
    const std::uint8_t more[] = {9, 8, 7};
    EXPECT_EQ(file.write(more, 3).bytes, 3u);
    EXPECT_THAT(file.bytes(), ElementsAre(1, 2, 9, 8, 7));
    EXPECT_EQ(file.size(), 5u);
    file.seek(1);
    EXPECT_EQ(file.read(buffer, sizeof buffer).bytes, 4u);
    EXPECT_EQ(file.position(), 5u);
}

}  // namespace
}  // namespace zendra
