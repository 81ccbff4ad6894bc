// The resources the packaging tool adds: image files turned into resource data, the planned
// resource set, the check of the helper's result, and the resource directory reader (against
// a PE whose resources windres wrote).
#include "pack_resources.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <functional>

#include "pack_test_support.h"
#include "pe_image.h"
#include "record_test_support.h"

namespace zendra::pack {
namespace {

using testing::ElementsAre;
using testing::HasSubstr;
using Bytes = std::vector<std::uint8_t>;

#ifdef ZENDRA_TINY_RESOURCES_PE
constexpr const char* kResourcePe = ZENDRA_TINY_RESOURCES_PE;
#else
constexpr const char* kResourcePe = "";
#endif

std::string refusalOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const PackError& e) {
        return e.what();
    }
    return "accepted";
}

Bytes text(const std::string& s) { return {s.begin(), s.end()}; }

std::string str(const Bytes& b) { return {b.begin(), b.end()}; }

// Bytes [from, to) of b; to npos means the end.
Bytes slice(const Bytes& b, std::size_t from, std::size_t to = std::string::npos) {
    return Bytes(b.begin() + static_cast<std::ptrdiff_t>(from),
                 to == std::string::npos ? b.end() : b.begin() + static_cast<std::ptrdiff_t>(to));
}

// A BMP file: a 40-byte (or 12-byte core) info header, colours palette entries, gap bytes
// between palette and pixels, then pixels.
Bytes bmp(std::uint16_t bits, std::uint32_t colours, std::size_t gap, const Bytes& pixels, bool core = false) {
    const std::uint32_t header = core ? 12 : 40;
    const std::size_t entry = core ? 3 : 4;
    const std::size_t offset = 14 + header + entry * colours + gap;
    Bytes out{'B', 'M'};
    test::putLe(out, 2, offset + pixels.size(), 4);
    test::putLe(out, 10, offset, 4);
    test::putLe(out, 14, header, 4);
    if (core) {
        test::putLe(out, 18, 2, 2);
        test::putLe(out, 20, 1, 2);
        test::putLe(out, 22, 1, 2);
        test::putLe(out, 24, bits, 2);
    } else {
        test::putLe(out, 18, 2, 4);
        test::putLe(out, 22, 1, 4);
        test::putLe(out, 26, 1, 2);
        test::putLe(out, 28, bits, 2);
        test::putLe(out, 46, bits <= 8 ? colours : 0, 4);
    }
    out.resize(14 + header);
    for (std::size_t i = 14 + header; i < offset; ++i) out.push_back(i < offset - gap ? static_cast<std::uint8_t>(i) : 0xEE);
    out.insert(out.end(), pixels.begin(), pixels.end());
    return out;
}

// An .ico file holding the images (each entry claims 16×16, 32 bits).
Bytes ico(const std::vector<Bytes>& images, std::uint16_t type = 1) {
    Bytes out;
    test::putLe(out, 0, 0, 2);
    test::putLe(out, 2, type, 2);
    test::putLe(out, 4, images.size(), 2);
    std::size_t offset = 6 + 16 * images.size();
    for (std::size_t i = 0; i < images.size(); ++i) {
        const std::size_t entry = 6 + 16 * i;
        out.resize(entry + 16);
        out[entry] = static_cast<std::uint8_t>(16 * (i + 1));
        out[entry + 1] = static_cast<std::uint8_t>(16 * (i + 1));
        test::putLe(out, entry + 4, 1, 2);
        test::putLe(out, entry + 6, 32, 2);
        test::putLe(out, entry + 8, images[i].size(), 4);
        test::putLe(out, entry + 12, offset, 4);
        offset += images[i].size();
    }
    for (const Bytes& image : images) out.insert(out.end(), image.begin(), image.end());
    return out;
}

// The group directory a set of 16×16, 32×32 ... icons with these ids and sizes must have.
Bytes group(const std::vector<std::pair<std::uint16_t, std::size_t>>& members) {
    Bytes out;
    test::putLe(out, 2, 1, 2);
    test::putLe(out, 4, members.size(), 2);
    for (std::size_t i = 0; i < members.size(); ++i) {
        const std::size_t entry = 6 + 14 * i;
        out.resize(entry + 14);
        out[entry] = out[entry + 1] = static_cast<std::uint8_t>(16 * (i + 1));
        test::putLe(out, entry + 4, 1, 2);
        test::putLe(out, entry + 6, 32, 2);
        test::putLe(out, entry + 8, members[i].second, 4);
        test::putLe(out, entry + 12, members[i].first, 2);
    }
    return out;
}

PeResource res(std::uint16_t type, ResourceKey name, Bytes data, std::uint16_t language = 0) {
    return {ResourceKey::number(type), std::move(name), language, std::move(data)};
}

ResourceKey id(std::uint16_t value) { return ResourceKey::number(value); }

std::size_t le(const Bytes& bytes, std::size_t at, int width) {
    std::size_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = (value << 8) | bytes[at + static_cast<std::size_t>(i)];
    return value;
}

TEST(ResourceImages, BitmapLosesItsFileHeaderAndAnyGapBeforeThePixels) {
    const Bytes pixels{1, 2, 3, 4, 5, 6, 7, 8};
    const Bytes plain = bmp(24, 0, 0, pixels);
    EXPECT_EQ(bitmapFromBmp(plain), slice(plain, 14));
    const Bytes palette = bmp(8, 3, 0, pixels);
    EXPECT_EQ(bitmapFromBmp(palette).size(), 40u + 12u + pixels.size());
    const Bytes core = bmp(1, 2, 0, pixels, true);
    EXPECT_EQ(bitmapFromBmp(core), slice(core, 14));
    const Bytes gapped = bmp(4, 2, 6, pixels);
    Bytes expected = slice(gapped, 14, 14 + 40 + 8);
    expected.insert(expected.end(), pixels.begin(), pixels.end());
    EXPECT_EQ(bitmapFromBmp(gapped), expected);
}

TEST(ResourceImages, RefusesWhatIsNoLoadableBitmap) {
    Bytes badHeader = bmp(24, 0, 0, {1, 2, 3});
    test::putLe(badHeader, 14, 41, 4);
    Bytes intoPalette = bmp(8, 4, 0, {1, 2, 3});
    test::putLe(intoPalette, 10, 14 + 40 + 8, 4);
    Bytes pastEnd = bmp(24, 0, 0, {1, 2, 3});
    test::putLe(pastEnd, 10, pastEnd.size(), 4);
    Bytes hugePalette = bmp(8, 2, 0, {1, 2, 3});
    test::putLe(hugePalette, 46, 0x40000000, 4);
    const std::pair<Bytes, std::string> cases[] = {
        {text("\x89PNG\r\n\x1a\n0000000000000000000000"), "not a BMP file (no \"BM\" file header)"},
        {Bytes{'B', 'M', 0, 0}, "not a BMP file (no \"BM\" file header)"},
        {badHeader, "unsupported BMP info header size 41"},
        {bmp(2, 0, 0, {1}), "a BMP with 2 bits per pixel cannot be loaded as a bitmap"},
        {intoPalette, "the BMP file's pixel data offset (62) does not follow its colour table (70) inside the file (73 bytes)"},
        {pastEnd, "the BMP file's pixel data offset (57) does not follow its colour table (54) inside the file (57 bytes)"},
        {hugePalette, "the BMP file's pixel data offset (62) does not follow its colour table (4294967350) inside the "
                      "file (65 bytes)"},
        {slice(bmp(24, 0, 0, {1}), 0, 30), "the BMP file is truncated inside its header"},
    };
    for (const auto& c : cases) EXPECT_EQ(refusalOf([&] { bitmapFromBmp(c.first); }), c.second);
}

TEST(ResourceImages, IconFileSplitsIntoImagesAndAGroupNamingThemById) {
    const Bytes png = text("\x89PNG\r\n\x1a\nfirst image");
    const Bytes dib = text("(dib bytes of the second)");
    const Bytes file = ico({png, dib});
    ASSERT_EQ(iconImageCount(file), 2u);
    const IconResources icons = iconsFromIco(file, {5, 9});
    EXPECT_THAT(icons.images, ElementsAre(png, dib));
    EXPECT_EQ(icons.group, group({{5, png.size()}, {9, dib.size()}}));
}

TEST(ResourceImages, RefusesIconFilesThatCannotBeSplit) {
    Bytes outside = ico({text("abc")});
    test::putLe(outside, 6 + 8, 4, 4);
    Bytes empty = ico({text("abc")});
    test::putLe(empty, 6 + 8, 0, 4);
    Bytes overlapping = ico({text("abc")});
    test::putLe(overlapping, 6 + 12, 6, 4);
    const std::pair<Bytes, std::string> cases[] = {
        {ico({text("abc")}, 2), "a cursor file, not an icon file"},
        {text("BM not an icon"), "not an icon file (no .ico header)"},
        {ico({}), "the icon file holds no images"},
        {slice(ico({text("abc")}), 0, 12), "the icon file is truncated inside its directory"},
        {outside, "icon image 0 (4 bytes at 22) lies outside the file"},
        {empty, "icon image 0 (0 bytes at 22) lies outside the file"},
        {overlapping, "icon image 0 (3 bytes at 6) lies outside the file"},
    };
    for (const auto& c : cases) EXPECT_EQ(refusalOf([&] { iconImageCount(c.first); }), c.second);
}

// The resources a freshly built launcher carries.
std::vector<PeResource> launcherResources() {
    return {res(5, id(101), text("dialog"), 1033), res(16, id(1), text("version"), 1033),
            res(24, id(1), text("manifest"), 1033)};
}

TEST(ResourcePlan, AddsEveryRoleToAFreshLauncher) {
    const Bytes dib = text("dib");
    const std::vector<ResourceFile> files{
        {ResourceRole::SplashIcon, ico({text("s16"), text("s32")})},
        {ResourceRole::SplashBitmap, bmp(24, 0, 0, dib)},
        {ResourceRole::Icon, ico({text("app")})},
        {ResourceRole::SplashImage, text("GIF89a...")},
    };
    std::vector<std::string> notes;
    const std::vector<PeResource> planned = planResources(launcherResources(), files, notes);
    std::vector<PeResource> expected = launcherResources();
    expected.push_back(res(2, id(10000), slice(bmp(24, 0, 0, dib), 14)));
    expected.push_back(res(10, id(10000), text("GIF89a...")));
    expected.push_back(res(3, id(1), text("s16")));
    expected.push_back(res(3, id(2), text("s32")));
    expected.push_back(res(14, ResourceKey::text(u"ID_SPLASH_ICON"), group({{1, 3}, {2, 3}})));
    expected.push_back(res(3, id(3), text("app")));
    expected.push_back(res(14, id(1001), group({{3, 3}})));
    ASSERT_EQ(planned.size(), expected.size());
    for (std::size_t i = 0; i < planned.size(); ++i) {
        EXPECT_EQ(planned[i].type, expected[i].type) << i;
        EXPECT_EQ(planned[i].name, expected[i].name) << i;
        EXPECT_EQ(planned[i].language, expected[i].language) << i;
        EXPECT_EQ(planned[i].data, expected[i].data) << i;
    }
    EXPECT_TRUE(notes.empty());
}

TEST(ResourcePlan, ReplacesOlderVersionsAndTheIconsOnlyTheReplacedGroupUsed) {
    // Group 1001 uses icons 1 and 2, the splash group icons 2 and 4; icon 3 belongs to no
    // group; the bitmap exists in two languages.
    std::vector<PeResource> existing = launcherResources();
    existing.push_back(res(3, id(1), text("old1")));
    existing.push_back(res(3, id(2), text("shared")));
    existing.push_back(res(3, id(3), text("loose")));
    existing.push_back(res(3, id(4), text("splash")));
    existing.push_back(res(14, id(1001), group({{1, 4}, {2, 6}})));
    existing.push_back(res(14, ResourceKey::text(u"ID_SPLASH_ICON"), group({{2, 6}, {4, 6}})));
    existing.push_back(res(2, id(10000), text("neutral")));
    existing.push_back(res(2, id(10000), text("german"), 1031));
    existing.push_back(res(10, id(77), Bytes{}));
    const std::vector<ResourceFile> files{{ResourceRole::Icon, ico({text("n1"), text("n2")})},
                                          {ResourceRole::SplashBitmap, bmp(24, 0, 0, text("px"))}};
    std::vector<std::string> notes;
    const std::vector<PeResource> planned = planResources(existing, files, notes);
    std::vector<std::string> listed;
    for (const PeResource& r : planned) {
        listed.push_back(describeKey(r.type, r.name) + "/" + std::to_string(r.language) + "=" +
                         str(r.data).substr(0, 6));
    }
    EXPECT_THAT(listed, ElementsAre("dialog 101/1033=dialog", "version 1/1033=versio", "manifest 1/1033=manife",
                                    "icon 2/0=shared", "icon 3/0=loose", "icon 4/0=splash",
                                    "group icon \"ID_SPLASH_ICON\"/0=" + std::string("\0\0\1\0\2\0", 6),
                                    HasSubstr("bitmap 10000/0=("), "icon 1/0=n1", "icon 5/0=n2",
                                    "group icon 1001/0=" + std::string("\0\0\1\0\2\0", 6)));
    EXPECT_EQ(planned.back().data, group({{1, 2}, {5, 2}}));
    EXPECT_THAT(notes, ElementsAre("note: the launcher's empty resource rcdata 77 (language 0) was dropped"));
}

TEST(ResourcePlan, ErrorsNameTheDescriptionMember) {
    std::vector<std::string> notes;
    const std::pair<std::vector<ResourceFile>, std::string> cases[] = {
        {{{ResourceRole::SplashBitmap, text("GIF89a")}}, "resources.splashBitmap: not a BMP file (no \"BM\" file header)"},
        {{{ResourceRole::SplashImage, {}}}, "resources.splashImage: the file is empty"},
        {{{ResourceRole::SplashIcon, ico({})}}, "resources.splashIcon: the icon file holds no images"},
        {{{ResourceRole::Icon, ico({text("a")}, 2)}}, "resources.icon: a cursor file, not an icon file"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(refusalOf([&] { planResources(launcherResources(), c.first, notes); }), c.second);
    }
    std::vector<PeResource> hashed = launcherResources();
    hashed.push_back({ResourceKey::text(u"#12"), id(1), 0, text("x")});
    EXPECT_EQ(refusalOf([&] { planResources(hashed, {{ResourceRole::SplashImage, text("x")}}, notes); }),
              "cannot keep the launcher's resource type \"#12\" 1 (language 0): its name starts with \"#\"");
}

// The tiny PE with the resources of tiny_resources.rc, or an empty vector.
Bytes resourcePe() { return std::string(kResourcePe).empty() ? Bytes{} : test::readBytes(kResourcePe); }

// File offset and size of a named section's raw data.
std::pair<std::size_t, std::size_t> section(const Bytes& image, const std::string& name) {
    const PeLayout layout = inspectPe(image);
    const std::size_t table = layout.peOffset + 24 + static_cast<std::size_t>(layout.optionalHeaderSize);
    for (std::size_t i = 0; i < static_cast<std::size_t>(layout.sectionCount); ++i) {
        const std::size_t h = table + 40 * i;
        std::string padded = name;
        padded.resize(8, '\0');
        if (std::equal(padded.begin(), padded.end(), image.begin() + static_cast<std::ptrdiff_t>(h))) {
            return {le(image, h + 20, 4), le(image, h + 16, 4)};
        }
    }
    return {0, 0};
}

class ResourceReader : public testing::Test {
protected:
    void SetUp() override {
        image_ = resourcePe();
        if (image_.empty()) GTEST_SKIP() << "no MinGW windres";
    }
    Bytes image_;
};

TEST_F(ResourceReader, FindsWhatWindresWrote) {
    const std::vector<PeResource> found = readResources(image_);
    std::vector<std::string> listed;
    for (const PeResource& r : found) {
        listed.push_back(describeKey(r.type, r.name) + "/" + std::to_string(r.language) + "=" + str(r.data));
    }
    EXPECT_THAT(listed, ElementsAre("type \"CUSTOMTYPE\" \"SAMPLE\"/1031=x",
                                    "bitmap 10000/0=" + std::string("(\0\0\0\2\0\3\0abc", 11), "bitmap 10000/1031=de",
                                    "icon 7/0=" + std::string("\1\0\2\0", 4), "icon 8/0=" + std::string("\x09\0", 2),
                                    "rcdata 10000/0=raw\x01\x02\x03\x04",
                                    "group icon \"ID_SPLASH_ICON\"/0=" + str(group({{7, 2}})),
                                    "group icon 1001/0=" + str(group({{8, 2}}))));
    EXPECT_THAT(describeResources(image_),
                testing::Contains("resource: group icon \"ID_SPLASH_ICON\", language 0, 20 bytes"));
}

TEST_F(ResourceReader, ImagesWithoutResourcesListNothing) {
    EXPECT_TRUE(readResources(test::buildPe({{0x400, 0x200}})).empty());
    EXPECT_TRUE(describeResources(test::buildPe({{0x400, 0x200}})).empty());
}

TEST_F(ResourceReader, DamagedDirectoriesAreRefusedNeverOverread) {
    const auto [offset, size] = section(image_, ".rsrc");
    ASSERT_GT(size, 0u);
    int refused = 0;
    for (std::size_t at = offset; at < offset + size; ++at) {
        for (std::uint8_t value : {std::uint8_t{0xFF}, std::uint8_t{0x80}, std::uint8_t{0x7F}}) {
            Bytes damaged = image_;
            damaged[at] = value;
            try {
                readResources(damaged);
            } catch (const PackError& e) {
                EXPECT_THAT(e.what(), testing::StartsWith("resource directory damaged: "));
                ++refused;
            }
        }
    }
    EXPECT_GT(refused, 20);
    Bytes truncated(image_.begin(), image_.begin() + static_cast<std::ptrdiff_t>(offset + 40));
    EXPECT_THAT(describeResources(truncated), ElementsAre(testing::StartsWith("note: resource directory damaged")));
}

TEST_F(ResourceReader, TheHelpersResultMustHoldExactlyThePlanAndEndTheFile) {
    const std::vector<PeResource> planned = readResources(image_);
    EXPECT_EQ(refusalOf([&] { checkUpdatedImage(image_, planned); }), "accepted");

    std::vector<PeResource> more = planned;
    more.push_back(res(10, id(5), text("extra")));
    EXPECT_EQ(refusalOf([&] { checkUpdatedImage(image_, more); }),
              "the resource helper did not write rcdata 5 (language 0) as planned");
    std::vector<PeResource> changed = planned;
    changed[1].data.back() ^= 1;
    EXPECT_EQ(refusalOf([&] { checkUpdatedImage(image_, changed); }),
              "the resource helper did not write bitmap 10000 (language 0) as planned");
    std::vector<PeResource> fewer(planned.begin() + 1, planned.end());
    EXPECT_EQ(refusalOf([&] { checkUpdatedImage(image_, fewer); }),
              "the resource helper wrote 8 resources instead of 7");
    Bytes trailing = image_;
    trailing.push_back(0);
    EXPECT_THAT(refusalOf([&] { checkUpdatedImage(trailing, planned); }),
                HasSubstr("not at the end of the file (" + std::to_string(trailing.size()) + " bytes)"));
}

}  // namespace
}  // namespace zendra::pack
