#include "pack_json.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <fstream>
#include <iterator>
#include <limits>
#include <set>

#include "ansi_text.h"
#include "included_names.h"
#include "pack_resources.h"
#include "pack_text.h"
#include "property_ids.h"
#include "sha256.h"

namespace zendra::pack {
namespace {

using prop::Kind;

// One table key resolved to an id, with its catalogue row when there is one.
struct Resolved {
    std::int32_t id = 0;
    std::optional<prop::Entry> entry;
};

[[noreturn]] void fail(const std::string& where, const std::string& what) { throw PackError(where + ": " + what); }

std::optional<std::int32_t> parseId(std::string_view text) {
    std::int32_t id = 0;
    const char* end = text.data() + text.size();
    auto [ptr, ec] = std::from_chars(text.data(), end, id);
    if (text.empty() || ec != std::errc() || ptr != end) return std::nullopt;
    return id;
}

Resolved resolveName(const std::string& name, bool message, const std::string& where) {
    const std::optional<prop::Entry> entry = prop::findByName(name);
    if (!entry) fail(where, "unknown property name \"" + name + "\"");
    if ((entry->kind == Kind::Message) != message) {
        fail(where, "\"" + name + (message ? "\" is a string property, not a message"
                                           : "\" is a message; list it under \"messages\""));
    }
    return {entry->id, entry};
}

Resolved resolveKey(const Json& key, bool message, const std::string& where) {
    std::optional<std::int32_t> id;
    if (key.is_number_integer()) {
        const auto value = key.get<std::int64_t>();
        if (value >= std::numeric_limits<std::int32_t>::min() && value <= std::numeric_limits<std::int32_t>::max()) {
            id = static_cast<std::int32_t>(value);
        }
        if (!id) fail(where, "id " + key.dump() + " does not fit in 32 bits");
    } else if (key.is_string()) {
        const auto& text = key.get_ref<const std::string&>();
        id = parseId(text);
        if (!id) return resolveName(text, message, where);
    } else {
        fail(where, "a key must be a property name or a numeric id");
    }
    return {*id, prop::findById(*id, message)};
}

std::string hexValue(const Json& value, const char* field, const std::string& where) {
    if (value.size() != 1 || !value.contains(field) || !value[field].is_string()) {
        fail(where, std::string("an object value must be {\"") + field + "\": \"...\"}");
    }
    std::optional<std::string> bytes = fromHex(value[field].get<std::string>());
    if (!bytes) fail(where, std::string("\"") + field + "\" needs an even number of hex digits");
    return *bytes;
}

std::string colourValue(const Json& value, const Resolved& key, const std::string& where) {
    if (key.entry && key.entry->kind != Kind::Colour) fail(where, "only colour properties take [r, g, b]");
    if (value.size() != 3) fail(where, "a colour needs exactly three components [r, g, b]");
    std::string text;
    for (const Json& part : value) {
        if (!part.is_number_integer() || part.get<std::int64_t>() < 0 || part.get<std::int64_t>() > 255) {
            fail(where, "colour components must be integers from 0 to 255");
        }
        text += (text.empty() ? "" : ",") + std::to_string(part.get<std::int64_t>());
    }
    return text;
}

// The record bytes of a text in codePage, the refusal naming the entry.
std::string recordText(const std::string& text, std::uint32_t codePage, const std::string& where) {
    try {
        return toCodePage(text, codePage);
    } catch (const PackError& e) {
        fail(where, e.what());
    }
}

std::string stringValue(const Json& value, const Resolved& key, std::uint32_t codePage, const std::string& where) {
    if (value.is_string()) return recordText(value.get<std::string>(), codePage, where);
    if (value.is_number_unsigned()) return std::to_string(value.get<std::uint64_t>());
    if (value.is_number_integer()) return std::to_string(value.get<std::int64_t>());
    if (value.is_boolean()) return value.get<bool>() ? "1" : "0";
    if (value.is_array()) return colourValue(value, key, where);
    if (value.is_object()) return hexValue(value, "hex", where);
    fail(where, "a string property value must be text, an integer, a boolean, [r, g, b] or {\"hex\": ...}");
}

std::u16string messageValue(const Json& value, const std::string& where) {
    if (value.is_object()) {
        const std::string bytes = hexValue(value, "utf16le", where);
        if (bytes.size() % 2 != 0) fail(where, "\"utf16le\" needs whole UTF-16 code units");
        std::u16string text(bytes.size() / 2, u'\0');
        for (std::size_t i = 0; i < text.size(); ++i) {
            text[i] = static_cast<char16_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                            (static_cast<unsigned char>(bytes[2 * i + 1]) << 8));
        }
        return text;
    }
    if (!value.is_string()) fail(where, "a message must be text or {\"utf16le\": ...}");
    std::optional<std::u16string> text = utf8ToUtf16(value.get<std::string>());
    if (!text) fail(where, "a message must be valid UTF-8");
    return *text;
}

// Calls add(keyJson, valueJson, where) for every entry of an object or array-of-pairs table.
template <typename Add>
void forEachEntry(const Json& table, const std::string& where, Add add) {
    if (table.is_object()) {
        for (const auto& [key, value] : table.items()) add(Json(key), value, where + "[\"" + key + "\"]");
    } else if (table.is_array()) {
        std::size_t index = 0;
        for (const Json& pair : table) {
            const std::string at = where + "[" + std::to_string(index++) + "]";
            if (!pair.is_array() || pair.size() != 2) fail(at, "an entry must be a [key, value] pair");
            add(pair[0], pair[1], at);
        }
    } else {
        fail(where, "must be an object or an array of [key, value] pairs");
    }
}

std::vector<std::pair<std::int32_t, std::u16string>> messageTable(const Json& table, const std::string& where) {
    std::vector<std::pair<std::int32_t, std::u16string>> out;
    forEachEntry(table, where, [&out](const Json& key, const Json& value, const std::string& at) {
        const Resolved resolved = resolveKey(key, true, at);
        out.emplace_back(resolved.id, messageValue(value, at));
    });
    return out;
}

void checkMembers(const Json& object, std::initializer_list<const char*> allowed, const std::string& where) {
    if (!object.is_object()) fail(where, "must be an object");
    for (auto it = object.begin(); it != object.end(); ++it) {
        const std::string& key = it.key();
        if (std::none_of(allowed.begin(), allowed.end(), [&key](const char* name) { return key == name; })) {
            fail(where, "unknown member \"" + key + "\"");
        }
    }
}

std::vector<LanguageBlock> languageBlocks(const Json& list, std::uint32_t codePage) {
    if (!list.is_array()) fail("languages", "must be an array of {\"key\": ..., \"messages\": ...}");
    std::vector<LanguageBlock> blocks;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string where = "languages[" + std::to_string(i) + "]";
        const Json& block = list[i];
        checkMembers(block, {"key", "messages"}, where);
        if (!block.contains("key") || !block["key"].is_string()) fail(where, "needs a \"key\" text");
        LanguageBlock out;
        out.key = recordText(block["key"].get<std::string>(), codePage, where + ".key");
        if (block.contains("messages")) out.messages = messageTable(block["messages"], where + ".messages");
        blocks.push_back(std::move(out));
    }
    return blocks;
}

std::vector<std::uint8_t> readSource(const std::filesystem::path& path, const std::string& where) {
    std::ifstream in(path, std::ios::binary);
    if (!in) fail(where, "cannot read \"" + utf8Of(path) + "\"");
    std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) fail(where, "cannot read \"" + utf8Of(path) + "\"");
    return data;
}

std::vector<std::uint8_t> fileData(const Json& file, const std::filesystem::path& baseDir, const std::string& where) {
    const int given = int{file.contains("source")} + int{file.contains("text")} + int{file.contains("hex")};
    if (given != 1) fail(where, "needs exactly one of \"source\", \"text\" or \"hex\"");
    if (file.contains("source")) {
        if (!file["source"].is_string()) fail(where, "\"source\" must be a path");
        return readSource(baseDir / pathFromUtf8(file["source"].get<std::string>()), where);
    }
    if (file.contains("text")) {
        if (!file["text"].is_string()) fail(where, "\"text\" must be text");
        const auto& text = file["text"].get_ref<const std::string&>();
        return {text.begin(), text.end()};
    }
    const std::string bytes = hexValue(Json{{"hex", file["hex"]}}, "hex", where);
    return {bytes.begin(), bytes.end()};
}

void checkPackedName(const std::string& name, std::uint32_t codePage, const std::string& where,
                     std::vector<std::string>& notes) {
    if (std::optional<std::string> reason = unsafeNameReason(name)) fail(where, *reason);
    // The launcher judges the record's bytes in the code page, so its own rule decides last
    // (it also counts superscript port digits and parts of only dots and blanks).
    if (const char* refused = unsafeIncludedName(recordText(name, codePage, where)))
        fail(where, "the launcher refuses the name: " + std::string(refused));
    if (name.find(';') != std::string::npos) fail(where, "the name holds \";\", the list separator");
    if (name.find('/') != std::string::npos) fail(where, "use \"\\\\\" as directory separator");
    if (std::count(name.begin(), name.end(), '\\') > 1) {
        notes.push_back("warning: " + where + ": the launcher creates only the first directory level of \"" +
                        name + "\"");
    }
}

// A name the launcher would extract over an earlier file: the same name in any case (Windows
// file names ignore it), or one file's name used as the other's directory.
void checkNameClash(const std::string& name, const std::vector<IncludedFile>& earlier, const std::string& where) {
    auto lower = [](std::string text) {
        std::transform(text.begin(), text.end(), text.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return text;
    };
    const std::string key = lower(name);
    for (const IncludedFile& file : earlier) {
        const std::string other = lower(file.name);
        if (other == key || other.starts_with(key + "\\") || key.starts_with(other + "\\"))
            fail(where, "the name clashes with the included file \"" + file.name + "\"");
    }
}

std::vector<IncludedFile> includedFiles(const Json& list, const std::filesystem::path& baseDir, std::uint32_t codePage,
                                        std::vector<std::string>& notes) {
    if (!list.is_array()) fail("files", "must be an array of {\"name\": ..., \"source\": ...}");
    std::vector<IncludedFile> files;
    for (std::size_t i = 0; i < list.size(); ++i) {
        const std::string where = "files[" + std::to_string(i) + "]";
        const Json& file = list[i];
        checkMembers(file, {"name", "source", "text", "hex", "size"}, where);
        if (!file.contains("name") || !file["name"].is_string()) fail(where, "needs a \"name\" text");
        IncludedFile out{file["name"].get<std::string>(), fileData(file, baseDir, where)};
        checkPackedName(out.name, codePage, where, notes);
        checkNameClash(out.name, files, where);
        if (file.contains("size") && file["size"] != Json(out.data.size())) {
            fail(where, "\"size\" " + file["size"].dump() + " does not match the data (" +
                            std::to_string(out.data.size()) + " bytes)");
        }
        files.push_back(std::move(out));
    }
    return files;
}

std::vector<ResourceFile> resourceFiles(const Json& table, const std::filesystem::path& baseDir, bool read) {
    if (!table.is_object()) fail("resources", "must be an object such as {\"icon\": \"app.ico\"}");
    std::vector<ResourceFile> files;
    for (const auto& [key, value] : table.items()) {
        const std::string where = "resources." + key;
        const std::optional<ResourceRole> role = roleFromName(key);
        if (!role) fail("resources", "unknown member \"" + key + "\" (splashBitmap, splashImage, splashIcon, icon)");
        if (!value.is_string()) fail(where, "must be a path");
        files.push_back({*role, read ? readSource(baseDir / pathFromUtf8(value.get<std::string>()), where) : std::vector<std::uint8_t>{}});
    }
    return files;
}

// Adds property 151 (the inflated size of an included "jre.tar.gz", which scales the installer's
// progress bar) unless the description sets it or the archive is too large to state.
void addArchiveSizeProperty(Package& package, bool given) {
    if (given) return;
    for (const IncludedFile& file : package.files) {
        std::string name = file.name;
        std::transform(name.begin(), name.end(), name.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (name != "jre.tar.gz") continue;
        const std::optional<std::uint64_t> size = inflatedSize(file.data);
        if (size && *size <= static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
            package.strings.emplace_back(prop::jreArchiveSize, std::to_string(*size));
        }
        return;
    }
}

// Adds properties 2002 and 2003 for the included files unless the description sets them.
void addIncludedFileProperties(Package& package, std::uint32_t codePage) {
    if (package.files.empty()) return;
    auto has = [&package](std::int32_t id) {
        return std::any_of(package.strings.begin(), package.strings.end(),
                           [id](const auto& entry) { return entry.first == id; });
    };
    if (!has(prop::includedFileCount)) {
        package.strings.emplace_back(prop::includedFileCount, std::to_string(package.files.size()));
    }
    if (!has(prop::includedFileNames)) {
        std::string names;
        for (const IncludedFile& file : package.files) names += (names.empty() ? "" : ";") + file.name;
        package.strings.emplace_back(prop::includedFileNames, toCodePage(names, codePage));
    }
    addArchiveSizeProperty(package, has(prop::jreArchiveSize));
}

// Sets property 3001 to the SHA-256 of the local copy of the archive the installer downloads
// (member "downloadArchive", a path relative to the description); a digest the description
// gives itself must match it.
void addDownloadDigest(Package& package, const Json& archive, const std::filesystem::path& baseDir) {
    const std::string where = "downloadArchive";
    if (!archive.is_string()) fail(where, "must be the path of the archive the installer downloads");
    const std::string digest = sha256Hex(readSource(baseDir / pathFromUtf8(archive.get<std::string>()), where));
    for (auto& [id, value] : package.strings) {
        if (id != prop::jreDownloadDigest) continue;
        std::string given = value;
        std::transform(given.begin(), given.end(), given.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (given != digest) fail(where, "its SHA-256 " + digest + " differs from jreDownloadDigest " + value);
        return;
    }
    package.strings.emplace_back(prop::jreDownloadDigest, digest);
}

Json parseStrict(std::string_view text) {
    std::vector<std::set<std::string>> open;
    std::optional<std::string> duplicate;
    auto watch = [&](int, Json::parse_event_t event, Json& parsed) {
        if (event == Json::parse_event_t::object_start) open.emplace_back();
        if (event == Json::parse_event_t::object_end && !open.empty()) open.pop_back();
        if (event == Json::parse_event_t::key && !open.empty() && !open.back().insert(parsed.get<std::string>()).second &&
            !duplicate) {
            duplicate = parsed.get<std::string>();
        }
        return true;
    };
    Json root;
    try {
        root = Json::parse(text.begin(), text.end(), watch);
    } catch (const Json::parse_error& e) {
        throw PackError(std::string("invalid JSON: ") + e.what());
    }
    if (duplicate) {
        throw PackError("invalid JSON: member \"" + *duplicate +
                        "\" appears twice in one object; use the [[key, value], ...] form for repeated ids");
    }
    return root;
}

std::int32_t integrityFlag(const Json& value) {
    if (value.is_boolean()) return value.get<bool>() ? 1 : 0;
    if (value.is_number_integer() && value.get<std::int64_t>() >= std::numeric_limits<std::int32_t>::min() &&
        value.get<std::int64_t>() <= std::numeric_limits<std::int32_t>::max()) {
        return static_cast<std::int32_t>(value.get<std::int64_t>());
    }
    fail("integrity", "must be true, false or a 32-bit integer");
}

// The code page of the 8-bit texts: the one the description names (default 1252) for
// Windows; the Linux edition reads UTF-8 whatever the description says.
std::uint32_t codePageOf(const Json& root, TargetSystem target, std::vector<std::string>& notes) {
    std::uint32_t named = kDefaultCodePage;
    if (root.contains("codePage")) {
        const Json& value = root["codePage"];
        if (!value.is_number_unsigned() || value.get<std::uint64_t>() > 0xFFFF ||
            !isAnsiCodePage(static_cast<std::uint32_t>(value.get<std::uint64_t>()))) {
            fail("codePage", "must be a Windows ANSI code page (874, 932, 936, 949, 950, 1250 to 1258) or 65001");
        }
        named = static_cast<std::uint32_t>(value.get<std::uint64_t>());
    }
    if (target == TargetSystem::Windows) return named;
    if (named != kUtf8CodePage && root.contains("codePage")) {
        notes.push_back("note: codePage " + std::to_string(named) + " ignored: the Linux launcher reads its texts as UTF-8");
    }
    return kUtf8CodePage;
}

}  // namespace

Package packageFromJson(std::string_view text, const std::filesystem::path& baseDir, std::vector<std::string>& notes,
                        TargetSystem target) {
    const Json root = parseStrict(text);
    checkMembers(root,
                 {"integrity", "codePage", "strings", "messages", "languages", "files", "resources", "downloadArchive"},
                 "description");
    const std::uint32_t codePage = codePageOf(root, target, notes);
    Package package;
    if (root.contains("integrity")) package.integrityFlag = integrityFlag(root["integrity"]);
    if (root.contains("strings")) {
        forEachEntry(root["strings"], "strings", [&](const Json& key, const Json& value, const std::string& at) {
            const Resolved resolved = resolveKey(key, false, at);
            package.strings.emplace_back(resolved.id, stringValue(value, resolved, codePage, at));
        });
    }
    if (root.contains("messages")) package.messages = messageTable(root["messages"], "messages");
    if (root.contains("languages")) package.languages = languageBlocks(root["languages"], codePage);
    if (root.contains("files")) package.files = includedFiles(root["files"], baseDir, codePage, notes);
    if (root.contains("resources")) {
        package.resources = resourceFiles(root["resources"], baseDir, target == TargetSystem::Windows);
    }
    addIncludedFileProperties(package, codePage);
    if (root.contains("downloadArchive")) addDownloadDigest(package, root["downloadArchive"], baseDir);
    return package;
}

}  // namespace zendra::pack
