#include "pe_image.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <zlib.h>

#include "pack_dump.h"
#include "pack_test_support.h"
#include "record_test_support.h"

namespace zendra::pack {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using Bytes = std::vector<std::uint8_t>;

constexpr std::size_t kPe = 0x80;                       // e_lfanew of the test images
constexpr std::size_t kOptional = kPe + 24;             // optional header

std::string refusalOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const PackError& e) {
        return e.what();
    }
    return "accepted";
}

std::uint64_t le(const Bytes& bytes, std::size_t at, int width) {
    std::uint64_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = (value << 8) | bytes[at + static_cast<std::size_t>(i)];
    return value;
}

Bytes onePe() { return test::buildPe({{0x400, 0x200}}); }

Package samplePackage() {
    Package p;
    p.strings = {{107, "1"}, {2002, "2"}, {2003, "a.txt;lib\\b.bin"}};
    p.messages = {{20013, u"Setup"}};
    p.languages = {{"de", {{20013, u"Installation"}}}};
    p.files = {{"a.txt", {'h', 'i'}}, {"lib\\b.bin", {0x5A, 0x00, 0xFF}}};
    return p;
}

TEST(PackImage, RefusesFilesThatAreNotPe) {
    Bytes noSignature = onePe();
    noSignature[kPe + 1] = 'X';
    Bytes farHeader = onePe();
    test::putLe(farHeader, 60, 0x10000, 4);
    Bytes noSections = onePe();
    test::putLe(noSections, kPe + 6, 0, 2);
    Bytes hugeTable = onePe();
    test::putLe(hugeTable, kPe + 6, 200, 2);
    const std::pair<Bytes, std::string> cases[] = {
        {Bytes{}, "not a PE file: no MZ header"},
        {Bytes(100, 'M'), "not a PE file: no MZ header"},
        {farHeader, "not a PE file: e_lfanew (65536) points outside the file"},
        {noSignature, "not a PE file: no PE signature at offset 128"},
        {noSections, "not a usable PE file: it has no sections"},
        {hugeTable, "not a PE file: the section table runs past the end of the file"},
    };
    for (const auto& entry : cases) EXPECT_EQ(refusalOf([&entry] { inspectPe(entry.first); }), entry.second);
}

TEST(PackImage, RefusesImagesTheRecordWouldOverwrite) {
    std::vector<std::string> notes;
    const Bytes overlapping = test::buildPe({{0x400, 0x200}, {0x600, 0x600}, {0x800, 0x100}});
    EXPECT_EQ(refusalOf([&] { launcherImage(overlapping, notes); }),
              "cannot package this PE file: section 1 ends at 3072, behind the end of the last section 2 (2304) "
              "where the launcher expects its record");
    Bytes truncated = onePe();
    truncated.resize(0x500);
    EXPECT_THAT(refusalOf([&] { launcherImage(truncated, notes); }),
                HasSubstr("the last section's raw data ends at 1536, behind the end of the file (1280 bytes)"));
    const Bytes uninitialisedLast = test::buildPe({{0x400, 0x200}, {0, 0}});
    EXPECT_THAT(refusalOf([&] { launcherImage(uninitialisedLast, notes); }), HasSubstr("behind the end of the last"));
}

TEST(PackImage, PackagedFileIsTheImageThenTheRecordAndNothingElse) {
    const Bytes image = test::buildPe({{0x400, 0x200}, {0x600, 0x80}});
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
    EXPECT_EQ(reader.readHead().strings.size(), 3u);
}

TEST(PackImage, DataBehindTheLastSectionIsDroppedWithANote) {
    Bytes image = onePe();
    const std::size_t end = image.size();
    image.resize(end + 100, 0xEE);
    std::vector<std::string> notes;
    const Bytes out = packageExecutable(image, samplePackage(), notes);
    std::vector<std::string> none;
    EXPECT_EQ(out, packageExecutable(onePe(), samplePackage(), none));
    EXPECT_THAT(notes, ElementsAre(HasSubstr("dropped 100 bytes behind the last section")));
}

TEST(PackImage, ReferencesIntoTheDroppedPartAreCleared) {
    Bytes image = onePe();
    const std::size_t end = image.size();
    const std::size_t certEntry = kOptional + 112 + 4 * 8;
    test::putLe(image, certEntry, end + 8, 4);   // an old signature behind the image
    test::putLe(image, certEntry + 4, 64, 4);
    test::putLe(image, kPe + 12, end, 4);        // a COFF symbol table behind the image
    test::putLe(image, kPe + 16, 3, 4);
    image.resize(end + 72, 0x11);
    std::vector<std::string> notes;
    const Bytes out = launcherImage(image, notes);
    EXPECT_EQ(out.size(), end);
    EXPECT_EQ(le(out, certEntry, 8), 0u);
    EXPECT_EQ(le(out, kPe + 12, 8), 0u);
    EXPECT_THAT(notes, ElementsAre(HasSubstr("dropped 72 bytes"), HasSubstr("signature was dropped"),
                                   HasSubstr("symbol table")));

    Bytes inside = onePe();  // a directory entry inside the image stays as it is
    test::putLe(inside, certEntry, 0x400, 4);
    test::putLe(inside, certEntry + 4, 16, 4);
    notes.clear();
    EXPECT_EQ(launcherImage(inside, notes), inside);
    EXPECT_TRUE(notes.empty());
}

TEST(PackRecord, ChecksumCoversEverythingBehindTheLengthField) {
    for (std::int32_t flag : {1, 0}) {
        Package p = samplePackage();
        p.integrityFlag = flag;
        const Bytes bytes = encodeRecord(p);
        const uLong crc = ::crc32(::crc32(0L, Z_NULL, 0), bytes.data() + 20, static_cast<uInt>(bytes.size() - 20));
        EXPECT_EQ(le(bytes, 0, 4), 0xE8E413D5u);
        EXPECT_EQ(le(bytes, 4, 4), static_cast<std::uint32_t>(flag));
        EXPECT_EQ(le(bytes, 8, 4), crc);
        EXPECT_EQ(le(bytes, 12, 8), bytes.size() - 20);
    }
}

TEST(PackRecord, IncludedFilesAreLengthPrefixedAndMasked) {
    Package p;
    p.files = {{"a", {0x5A, 0x00, 0xFF}}, {"empty", {}}, {"b", {0x01}}};
    const Bytes bytes = encodeRecord(p);
    const std::size_t data = 20 + 12;  // header and three zero counts
    EXPECT_EQ(Bytes(bytes.begin() + data, bytes.end()),
              (Bytes{3, 0, 0, 0, 0, 0, 0, 0, 0x00, 0x5A, 0xA5, 0, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0x5B}));
}

TEST(PackDump, ReadsBackWhatWasPackaged) {
    std::vector<std::string> notes;
    const Bytes image = onePe();
    const Bytes out = packageExecutable(image, samplePackage(), notes);
    const PackageDump dump = readPackage(out);
    const Package expected = samplePackage();
    EXPECT_EQ(dump.package.strings, expected.strings);
    EXPECT_EQ(dump.package.messages, expected.messages);
    ASSERT_EQ(dump.package.languages.size(), 1u);
    EXPECT_EQ(dump.package.languages[0].messages, expected.languages[0].messages);
    ASSERT_EQ(dump.package.files.size(), 2u);
    EXPECT_EQ(dump.package.files[1].name, "lib\\b.bin");
    EXPECT_EQ(dump.package.files[1].data, expected.files[1].data);
    EXPECT_EQ(dump.recordOffset, image.size());
    EXPECT_EQ(dump.dataOffset, out.size() - (8 + 2) - (8 + 3));
    EXPECT_EQ(dump.endOffset, out.size());
    EXPECT_TRUE(dump.integrity.matches());
    EXPECT_THAT(describe(dump.integrity), HasSubstr("matches"));
    EXPECT_TRUE(dump.notes.empty());
}

TEST(PackDump, ReportsDamageInsteadOfTrustingIt) {
    std::vector<std::string> notes;
    const Bytes good = packageExecutable(onePe(), samplePackage(), notes);
    Bytes flipped = good;
    flipped.back() ^= 1;
    const PackageDump dump = readPackage(flipped);
    EXPECT_FALSE(dump.integrity.matches());
    EXPECT_THAT(describe(dump.integrity), HasSubstr("MISMATCH (computed 0x"));

    Bytes longClaim = good;
    test::putLe(longClaim, onePe().size() + 12, good.size(), 8);
    EXPECT_THAT(describe(readPackage(longClaim).integrity), HasSubstr("runs past the end of the file"));

    const Bytes truncated(good.begin(), good.end() - 1);
    EXPECT_THAT(refusalOf([&] { readPackage(truncated); }),
                HasSubstr("included file data damaged: \"lib\\b.bin\" needs 3 bytes, 2 remain"));
    const Bytes lengthCut(good.begin(), good.end() - 5);
    EXPECT_EQ(refusalOf([&] { readPackage(lengthCut); }), "included file data damaged: Internal Error: readLong");
    EXPECT_EQ(refusalOf([&] { readPackage(onePe()); }), "no valid configuration record: Internal Error: readInt");
    Bytes noMagic = onePe();
    noMagic.resize(noMagic.size() + 40, 0);
    EXPECT_EQ(refusalOf([&] { readPackage(noMagic); }), "no valid configuration record: Internal Error: magic");
}

TEST(PackDump, FindsIncludedFilesTheWayTheLauncherDoes) {
    Package p;
    p.strings = {{2002, "9"}, {2002, "2"}, {2003, "x.dll;;y.dll;z.dll"}};
    p.files = {{"x.dll", {1}}, {"y.dll", {2}}};
    std::vector<std::string> notes;
    Bytes out = packageExecutable(onePe(), p, notes);
    out.insert(out.end(), {7, 7, 7});
    const PackageDump dump = readPackage(out);
    ASSERT_EQ(dump.package.files.size(), 2u);
    EXPECT_EQ(dump.package.files[1].name, "y.dll");
    EXPECT_EQ(dump.package.files[1].data, Bytes{2});
    EXPECT_THAT(dump.notes, ElementsAre("note: 3 bytes follow the included data (for example a signature)"));

    p.strings = {{2002, "3"}, {2003, "x.dll;y.dll"}};
    const PackageDump fewer = readPackage(packageExecutable(onePe(), p, notes));
    EXPECT_EQ(fewer.package.files.size(), 2u);
    EXPECT_THAT(fewer.notes, ElementsAre(HasSubstr("3 included files announced but only 2 names listed")));
}

TEST(PackDump, ExtractionRefusesUnsafeNamesBeforeWritingAnything) {
    test::TempDir dir;
    Package p;
    p.files = {{"ok.txt", {'o', 'k'}}, {"sub\\..\\..\\evil.txt", {'x'}}};
    EXPECT_THAT(refusalOf([&] { extractFiles(p, dir.path()); }),
                "refusing to extract \"sub\\..\\..\\evil.txt\": the name holds \"..\"");
    EXPECT_FALSE(std::filesystem::exists(dir / "ok.txt"));
    for (const char* name : {"C:\\x", "\\x", "/x", "a/../../x"}) {
        p.files[1].name = name;
        EXPECT_THROW(extractFiles(p, dir.path()), PackError) << name;
    }
    p.files[1] = {"sub\\data.bin", {0, 0x5A}};
    extractFiles(p, dir.path());
    EXPECT_EQ(test::readBytes(dir / "sub" / "data.bin"), (Bytes{0, 0x5A}));
    EXPECT_EQ(test::readText(dir / "ok.txt"), "ok");
}

}  // namespace
}  // namespace zendra::pack
