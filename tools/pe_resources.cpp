#include "pe_resources.h"

#include <optional>

#include "pack_model.h"
#include "pack_text.h"
#include "pe_image.h"

namespace zendra::pack {
namespace {

constexpr std::uint32_t kResourceDirectory = 2;
constexpr std::uint32_t kSubdirectoryBit = 0x80000000u;
constexpr std::size_t kMaxEntries = 65536;  // far more than any real file; bounds looping tables

[[noreturn]] void damaged(const std::string& what) { throw PackError("resource directory damaged: " + what); }

// Bounds-checked little-endian reads of the whole file.
class Reader {
public:
    explicit Reader(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}
    bool fits(std::uint64_t at, std::uint64_t size) const { return at <= bytes_.size() && size <= bytes_.size() - at; }
    std::uint32_t u(std::uint64_t at, int width) const {
        if (!fits(at, static_cast<std::uint64_t>(width))) damaged("a field lies outside the file");
        std::uint32_t value = 0;
        for (int i = width - 1; i >= 0; --i) value = (value << 8) | bytes_[static_cast<std::size_t>(at) + i];
        return value;
    }
    std::span<const std::uint8_t> bytes() const { return bytes_; }

private:
    std::span<const std::uint8_t> bytes_;
};

// Where the resource directory lies: its file offset, the file range of the section holding
// it (all offsets inside the directory stay in that range) and the image's section table.
struct Directory {
    std::uint64_t base = 0;
    std::uint64_t limit = 0;
    std::uint64_t table = 0;
    std::uint32_t sections = 0;
};

// File offset of an RVA inside some section's raw data, and the end of that raw data.
std::optional<std::pair<std::uint64_t, std::uint64_t>> mapRva(const Reader& in, const Directory& dir, std::uint32_t rva) {
    for (std::uint32_t i = 0; i < dir.sections; ++i) {
        const std::uint64_t header = dir.table + 40u * i;
        const std::uint32_t address = in.u(header + 12, 4);
        const std::uint32_t rawSize = in.u(header + 16, 4);
        const std::uint32_t rawOffset = in.u(header + 20, 4);
        if (rva >= address && rva - address < rawSize) {
            return std::make_pair(std::uint64_t{rawOffset} + (rva - address), std::uint64_t{rawOffset} + rawSize);
        }
    }
    return std::nullopt;
}

std::optional<Directory> locate(const Reader& in) {
    const PeLayout layout = inspectPe(in.bytes());
    const std::uint64_t optional = std::uint64_t{layout.peOffset} + 24;
    if (layout.optionalHeaderSize < 2) return std::nullopt;
    const std::uint32_t magic = in.u(optional, 2);
    const std::uint64_t countField = optional + (magic == 0x20b ? 108 : 92);
    if (magic != 0x10b && magic != 0x20b) return std::nullopt;
    const std::uint64_t entry = countField + 4 + 8 * kResourceDirectory;
    if (entry + 8 > optional + static_cast<std::uint64_t>(layout.optionalHeaderSize) ||
        in.u(countField, 4) <= kResourceDirectory) {
        return std::nullopt;
    }
    const std::uint32_t rva = in.u(entry, 4);
    if (rva == 0 || in.u(entry + 4, 4) == 0) return std::nullopt;
    Directory dir{0, 0, optional + static_cast<std::uint64_t>(layout.optionalHeaderSize),
                  static_cast<std::uint32_t>(layout.sectionCount)};
    const auto mapped = mapRva(in, dir, rva);
    if (!mapped || mapped->second > in.bytes().size()) damaged("its address lies outside the sections' data");
    dir.base = mapped->first;
    dir.limit = mapped->second;
    return dir;
}

// Walks the three directory levels, collecting resources.
class Walker {
public:
    Walker(const Reader& in, const Directory& dir) : in_(in), dir_(dir) {}

    std::vector<PeResource> run() {
        table(0, 0, {}, {});
        return std::move(found_);
    }

private:
    std::uint64_t at(std::uint32_t offset, std::uint64_t size) const {
        const std::uint64_t where = dir_.base + offset;
        if (where + size > dir_.limit) damaged("an offset points outside the resource section");
        return where;
    }

    ResourceKey key(std::uint32_t field) const {
        if ((field & kSubdirectoryBit) == 0) return ResourceKey::number(static_cast<std::uint16_t>(field));
        const std::uint64_t where = at(field & ~kSubdirectoryBit, 2);
        const std::uint32_t length = in_.u(where, 2);
        at(field & ~kSubdirectoryBit, 2 + 2u * length);
        std::u16string text(length, u'\0');
        for (std::uint32_t i = 0; i < length; ++i) text[i] = static_cast<char16_t>(in_.u(where + 2 + 2u * i, 2));
        return ResourceKey::text(std::move(text));
    }

    void table(std::uint32_t offset, int level, const ResourceKey& type, const ResourceKey& name) {
        const std::uint64_t where = at(offset, 16);
        const std::uint32_t count = in_.u(where + 12, 2) + in_.u(where + 14, 2);
        for (std::uint32_t i = 0; i < count; ++i) {
            if (++entries_ > kMaxEntries) damaged("too many entries");
            const std::uint64_t entry = at(offset + 16 + 8 * i, 8);
            const std::uint32_t id = in_.u(entry, 4);
            const std::uint32_t target = in_.u(entry + 4, 4);
            const bool subdirectory = (target & kSubdirectoryBit) != 0;
            if (subdirectory != (level < 2)) damaged("the directory levels are mixed up");
            if (level == 0) table(target & ~kSubdirectoryBit, 1, key(id), {});
            if (level == 1) table(target & ~kSubdirectoryBit, 2, type, key(id));
            if (level == 2) leaf(target, type, name, static_cast<std::uint16_t>(id));
        }
    }

    void leaf(std::uint32_t offset, const ResourceKey& type, const ResourceKey& name, std::uint16_t language) {
        const std::uint64_t where = at(offset, 16);
        const std::uint32_t rva = in_.u(where, 4);
        const std::uint32_t size = in_.u(where + 4, 4);
        const auto mapped = mapRva(in_, dir_, rva);
        if (!mapped || size > mapped->second - mapped->first || !in_.fits(mapped->first, size)) {
            damaged("the data of " + describeKey(type, name) + " lies outside the file");
        }
        const auto begin = in_.bytes().begin() + static_cast<std::ptrdiff_t>(mapped->first);
        found_.push_back({type, name, language, std::vector<std::uint8_t>(begin, begin + size)});
    }

    const Reader& in_;
    Directory dir_;
    std::size_t entries_ = 0;
    std::vector<PeResource> found_;
};

std::string typeName(std::uint16_t id) {
    static const char* const names[] = {nullptr,  "cursor",    "bitmap",        "icon",       "menu",
                                        "dialog", "string",    "font directory", "font",      "accelerator",
                                        "rcdata", "message table", "group cursor", nullptr,   "group icon",
                                        nullptr,  "version",   "dialog include", nullptr,    "plug and play",
                                        "vxd",    "animated cursor", "animated icon", "html", "manifest"};
    if (id < std::size(names) && names[id] != nullptr) return names[id];
    return "type " + std::to_string(id);
}

std::string keyText(const ResourceKey& key) {
    if (!key.isName()) return std::to_string(key.id);
    bool replaced = false;
    return "\"" + utf16ToUtf8(key.name, replaced) + "\"";
}

}  // namespace

std::string ResourceKey::argument() const {
    bool replaced = false;
    return isName() ? utf16ToUtf8(name, replaced) : "#" + std::to_string(id);
}

std::vector<PeResource> readResources(std::span<const std::uint8_t> image) {
    const Reader in(image);
    const std::optional<Directory> dir = locate(in);
    if (!dir) return {};
    return Walker(in, *dir).run();
}

std::string describeKey(const ResourceKey& type, const ResourceKey& name) {
    return (type.isName() ? "type " + keyText(type) : typeName(type.id)) + " " + keyText(name);
}

std::vector<std::string> describeResources(std::span<const std::uint8_t> image) {
    std::vector<std::string> lines;
    try {
        for (const PeResource& resource : readResources(image)) {
            lines.push_back("resource: " + describeKey(resource.type, resource.name) + ", language " +
                            std::to_string(resource.language) + ", " + std::to_string(resource.data.size()) +
                            " bytes");
        }
    } catch (const PackError& e) {
        lines.push_back(std::string("note: ") + e.what());
    }
    return lines;
}

}  // namespace zendra::pack
