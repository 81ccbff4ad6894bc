#include "pack_resources.h"

#include <algorithm>
#include <set>

#include "pack_model.h"
#include "pe_image.h"

namespace zendra::pack {
namespace {

constexpr std::uint16_t kSplashId = 10000;
constexpr std::uint16_t kIconGroupId = 1001;
constexpr const char16_t* kSplashIconName = u"ID_SPLASH_ICON";
constexpr std::size_t kBmpFileHeader = 14;
constexpr std::size_t kIcoEntry = 16;
constexpr std::size_t kGroupEntry = 14;

std::uint32_t le(std::span<const std::uint8_t> bytes, std::size_t at, int width) {
    std::uint32_t value = 0;
    for (int i = width - 1; i >= 0; --i) value = (value << 8) | bytes[at + static_cast<std::size_t>(i)];
    return value;
}

void putLe(std::vector<std::uint8_t>& out, std::uint32_t value, int width) {
    for (int i = 0; i < width; ++i) out.push_back(static_cast<std::uint8_t>(value >> (8 * i)));
}

// Bytes of the colour masks and colour table that follow a BMP info header of headerSize.
std::uint64_t tableSize(std::span<const std::uint8_t> bmp, std::uint32_t headerSize) {
    const std::size_t info = kBmpFileHeader;
    if (headerSize == 12) {
        const std::uint32_t bits = le(bmp, info + 10, 2);
        return bits <= 8 ? 3ull << bits : 0;
    }
    const std::uint32_t bits = le(bmp, info + 14, 2);
    const std::uint32_t compression = le(bmp, info + 16, 4);
    const std::uint32_t used = le(bmp, info + 32, 4);
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) {
        throw PackError("a BMP with " + std::to_string(bits) + " bits per pixel cannot be loaded as a bitmap");
    }
    std::uint64_t masks = 0;
    if (headerSize == 40 && compression == 3) masks = 12;  // BI_BITFIELDS
    if (headerSize == 40 && compression == 6) masks = 16;  // BI_ALPHABITFIELDS
    const std::uint64_t colours = used != 0 ? used : (bits <= 8 ? 1ull << bits : 0);
    return masks + 4 * colours;
}

// The group directory entry's first 12 bytes are the .ico entry's; the id replaces the offset.
std::vector<std::uint8_t> groupOf(std::span<const std::uint8_t> ico, const std::vector<std::uint16_t>& ids) {
    std::vector<std::uint8_t> group(ico.begin(), ico.begin() + 6);
    for (std::size_t i = 0; i < ids.size(); ++i) {
        const auto entry = ico.begin() + static_cast<std::ptrdiff_t>(6 + kIcoEntry * i);
        group.insert(group.end(), entry, entry + 12);
        putLe(group, ids[i], 2);
    }
    return group;
}

// The icon ids an existing group directory names (as far as its data reaches).
std::vector<std::uint16_t> groupMembers(const std::vector<std::uint8_t>& group) {
    std::vector<std::uint16_t> ids;
    if (group.size() < 6) return ids;
    const std::size_t count = le(group, 4, 2);
    for (std::size_t i = 0; i < count && 6 + kGroupEntry * (i + 1) <= group.size(); ++i) {
        ids.push_back(static_cast<std::uint16_t>(le(group, 6 + kGroupEntry * i + 12, 2)));
    }
    return ids;
}

ResourceKey groupName(ResourceRole role) {
    return role == ResourceRole::Icon ? ResourceKey::number(kIconGroupId) : ResourceKey::text(kSplashIconName);
}

bool isIcon(ResourceRole role) { return role == ResourceRole::SplashIcon || role == ResourceRole::Icon; }

// Icon ids removed with the groups being replaced, unless a remaining group names them.
std::set<std::uint16_t> droppedIcons(const std::vector<PeResource>& existing, const std::vector<ResourceKey>& groups) {
    std::set<std::uint16_t> dropped;
    std::set<std::uint16_t> kept;
    for (const PeResource& r : existing) {
        if (r.type != ResourceKey::number(rt::groupIcon)) continue;
        const bool replaced = std::find(groups.begin(), groups.end(), r.name) != groups.end();
        for (std::uint16_t id : groupMembers(r.data)) (replaced ? dropped : kept).insert(id);
    }
    for (std::uint16_t id : kept) dropped.erase(id);
    return dropped;
}

// Lowest ids from 1 up that no remaining icon uses.
std::vector<std::uint16_t> freeIconIds(const std::vector<PeResource>& existing, const std::set<std::uint16_t>& dropped,
                                       std::size_t count) {
    std::set<std::uint16_t> used;
    for (const PeResource& r : existing) {
        if (r.type == ResourceKey::number(rt::icon) && !r.name.isName() && !dropped.contains(r.name.id)) {
            used.insert(r.name.id);
        }
    }
    std::vector<std::uint16_t> ids;
    for (std::uint32_t id = 1; ids.size() < count; ++id) {
        if (id > 0xFFFF) throw PackError("resources: no free icon ids are left");
        if (!used.contains(static_cast<std::uint16_t>(id))) ids.push_back(static_cast<std::uint16_t>(id));
    }
    return ids;
}

// The resources to add, icons last so that their ids are known.
std::vector<PeResource> additions(const std::vector<PeResource>& existing, const std::vector<ResourceFile>& files) {
    std::vector<PeResource> adds;
    std::vector<ResourceKey> groups;
    std::size_t iconCount = 0;
    for (const ResourceFile& file : files) {
        const std::string where = "resources." + roleName(file.role) + ": ";
        try {
            if (file.role == ResourceRole::SplashBitmap) {
                adds.push_back({ResourceKey::number(rt::bitmap), ResourceKey::number(kSplashId), kResourceLanguage,
                                bitmapFromBmp(file.data)});
            } else if (file.role == ResourceRole::SplashImage) {
                if (file.data.empty()) throw PackError("the file is empty");
                adds.push_back({ResourceKey::number(rt::rcdata), ResourceKey::number(kSplashId), kResourceLanguage,
                                file.data});
            } else {
                iconCount += iconImageCount(file.data);
                groups.push_back(groupName(file.role));
            }
        } catch (const PackError& e) {
            throw PackError(where + e.what());
        }
    }
    const std::vector<std::uint16_t> ids = freeIconIds(existing, droppedIcons(existing, groups), iconCount);
    auto next = ids.begin();
    for (const ResourceFile& file : files) {
        if (!isIcon(file.role)) continue;
        const std::vector<std::uint16_t> mine(next, next + static_cast<std::ptrdiff_t>(iconImageCount(file.data)));
        next += static_cast<std::ptrdiff_t>(mine.size());
        IconResources icons = iconsFromIco(file.data, mine);
        for (std::size_t i = 0; i < mine.size(); ++i) {
            adds.push_back({ResourceKey::number(rt::icon), ResourceKey::number(mine[i]), kResourceLanguage,
                            std::move(icons.images[i])});
        }
        adds.push_back({ResourceKey::number(rt::groupIcon), groupName(file.role), kResourceLanguage,
                        std::move(icons.group)});
    }
    return adds;
}

// Whether an existing resource stays: not replaced by an addition, not an icon of a
// replaced group, not empty, and with a name the helper can pass on.
bool keep(const PeResource& r, const std::vector<PeResource>& adds, const std::set<std::uint16_t>& dropped,
          std::vector<std::string>& notes) {
    const std::string what = describeKey(r.type, r.name) + " (language " + std::to_string(r.language) + ")";
    if (std::any_of(adds.begin(), adds.end(), [&r](const PeResource& add) {
            return add.type == r.type && add.name == r.name;
        })) {
        return false;
    }
    if (r.type == ResourceKey::number(rt::icon) && !r.name.isName() && dropped.contains(r.name.id)) return false;
    if (r.data.empty()) {
        notes.push_back("note: the launcher's empty resource " + what + " was dropped");
        return false;
    }
    if (r.type.name.starts_with(u"#") || r.name.name.starts_with(u"#")) {
        throw PackError("cannot keep the launcher's resource " + what + ": its name starts with \"#\"");
    }
    return true;
}

}  // namespace

std::string roleName(ResourceRole role) {
    switch (role) {
        case ResourceRole::SplashBitmap: return "splashBitmap";
        case ResourceRole::SplashImage: return "splashImage";
        case ResourceRole::SplashIcon: return "splashIcon";
        case ResourceRole::Icon: return "icon";
    }
    return "?";
}

std::optional<ResourceRole> roleFromName(const std::string& name) {
    for (ResourceRole role : {ResourceRole::SplashBitmap, ResourceRole::SplashImage, ResourceRole::SplashIcon,
                              ResourceRole::Icon}) {
        if (roleName(role) == name) return role;
    }
    return std::nullopt;
}

std::vector<std::uint8_t> bitmapFromBmp(std::span<const std::uint8_t> bmp) {
    if (bmp.size() < kBmpFileHeader + 12 || bmp[0] != 'B' || bmp[1] != 'M') {
        throw PackError("not a BMP file (no \"BM\" file header)");
    }
    const std::uint32_t headerSize = le(bmp, kBmpFileHeader, 4);
    static constexpr std::uint32_t known[] = {12, 40, 52, 56, 108, 124};
    if (std::find(std::begin(known), std::end(known), headerSize) == std::end(known)) {
        throw PackError("unsupported BMP info header size " + std::to_string(headerSize));
    }
    if (kBmpFileHeader + headerSize > bmp.size()) throw PackError("the BMP file is truncated inside its header");
    const std::uint64_t tableEnd = kBmpFileHeader + headerSize + tableSize(bmp, headerSize);
    const std::uint32_t pixels = le(bmp, 10, 4);
    if (tableEnd > bmp.size() || pixels < tableEnd || pixels >= bmp.size()) {
        throw PackError("the BMP file's pixel data offset (" + std::to_string(pixels) +
                        ") does not follow its colour table (" + std::to_string(tableEnd) + ") inside the file (" +
                        std::to_string(bmp.size()) + " bytes)");
    }
    std::vector<std::uint8_t> dib(bmp.begin() + kBmpFileHeader, bmp.begin() + static_cast<std::ptrdiff_t>(tableEnd));
    dib.insert(dib.end(), bmp.begin() + pixels, bmp.end());
    return dib;
}

std::size_t iconImageCount(std::span<const std::uint8_t> ico) {
    if (ico.size() < 6 || le(ico, 0, 2) != 0 || le(ico, 2, 2) != 1) {
        throw PackError(ico.size() >= 6 && le(ico, 0, 2) == 0 && le(ico, 2, 2) == 2
                            ? "a cursor file, not an icon file"
                            : "not an icon file (no .ico header)");
    }
    const std::size_t count = le(ico, 4, 2);
    if (count == 0) throw PackError("the icon file holds no images");
    if (6 + kIcoEntry * count > ico.size()) throw PackError("the icon file is truncated inside its directory");
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = 6 + kIcoEntry * i;
        const std::uint64_t size = le(ico, entry + 8, 4);
        const std::uint64_t offset = le(ico, entry + 12, 4);
        if (size == 0 || offset < 6 + kIcoEntry * count || offset + size > ico.size()) {
            throw PackError("icon image " + std::to_string(i) + " (" + std::to_string(size) + " bytes at " +
                            std::to_string(offset) + ") lies outside the file");
        }
    }
    return count;
}

IconResources iconsFromIco(std::span<const std::uint8_t> ico, const std::vector<std::uint16_t>& ids) {
    const std::size_t count = iconImageCount(ico);
    if (ids.size() != count) throw PackError("internal error: icon ids do not match the images");
    IconResources out;
    for (std::size_t i = 0; i < count; ++i) {
        const std::size_t entry = 6 + kIcoEntry * i;
        const auto begin = ico.begin() + le(ico, entry + 12, 4);
        out.images.emplace_back(begin, begin + le(ico, entry + 8, 4));
    }
    out.group = groupOf(ico, ids);
    return out;
}

std::vector<PeResource> planResources(const std::vector<PeResource>& existing, const std::vector<ResourceFile>& files,
                                      std::vector<std::string>& notes) {
    std::vector<PeResource> adds = additions(existing, files);
    std::vector<ResourceKey> groups;
    for (const ResourceFile& file : files) {
        if (isIcon(file.role)) groups.push_back(groupName(file.role));
    }
    const std::set<std::uint16_t> dropped = droppedIcons(existing, groups);
    std::vector<PeResource> planned;
    for (const PeResource& r : existing) {
        if (keep(r, adds, dropped, notes)) planned.push_back(r);
    }
    planned.insert(planned.end(), std::make_move_iterator(adds.begin()), std::make_move_iterator(adds.end()));
    return planned;
}

void checkUpdatedImage(std::span<const std::uint8_t> image, const std::vector<PeResource>& planned) {
    const PeLayout layout = inspectPe(image);
    if (layout.recordOffset != image.size() || layout.largestEnd > layout.recordOffset) {
        throw PackError("after adding the resources the last section ends at " + std::to_string(layout.recordOffset) +
                        " (largest section end " + std::to_string(layout.largestEnd) + "), not at the end of the file (" +
                        std::to_string(image.size()) + " bytes)");
    }
    const std::vector<PeResource> found = readResources(image);
    for (const PeResource& want : planned) {
        const auto matches = std::count_if(found.begin(), found.end(), [&want](const PeResource& r) {
            return r.type == want.type && r.name == want.name && r.language == want.language && r.data == want.data;
        });
        if (matches != 1) {
            throw PackError("the resource helper did not write " + describeKey(want.type, want.name) + " (language " +
                            std::to_string(want.language) + ") as planned");
        }
    }
    if (found.size() != planned.size()) {
        throw PackError("the resource helper wrote " + std::to_string(found.size()) + " resources instead of " +
                        std::to_string(planned.size()));
    }
}

}  // namespace zendra::pack
