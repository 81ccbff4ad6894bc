#include <charconv>
#include <set>

#include "ansi_text.h"
#include "pack_json.h"
#include "pack_text.h"
#include "property_ids.h"

namespace zendra::pack {
namespace {

std::string keyFor(std::int32_t id, bool message) {
    const std::optional<prop::Entry> entry = prop::findById(id, message);
    return entry ? std::string(entry->name) : std::to_string(id);
}

// Integer properties in plain decimal become JSON numbers; anything else is text, and bytes
// that are no text of the code page are given as hex.
Json stringOut(std::int32_t id, const std::string& bytes, std::uint32_t codePage) {
    const std::optional<std::string> converted = fromCodePage(bytes, codePage);
    if (!converted) return Json{{"hex", toHex(bytes)}};
    const std::string& text = *converted;
    const std::optional<prop::Entry> entry = prop::findById(id, false);
    if (entry && entry->kind == prop::Kind::Integer) {
        std::int64_t value = 0;
        const char* end = text.data() + text.size();
        auto [ptr, ec] = std::from_chars(text.data(), end, value);
        if (ec == std::errc() && ptr == end && std::to_string(value) == text) return Json(value);
    }
    return Json(text);
}

// Messages become UTF-8 text unless they hold unpaired surrogates, which only raw
// UTF-16LE hex keeps.
Json messageOut(const std::u16string& text) {
    bool replaced = false;
    std::string utf8 = utf16ToUtf8(text, replaced);
    if (!replaced) return Json(utf8);
    std::string bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return Json{{"utf16le", toHex(bytes)}};
}

// An object keyed by name or id, or pairs when a key repeats (objects cannot hold that).
template <typename Value, typename Convert>
Json tableOut(const std::vector<std::pair<std::int32_t, Value>>& entries, bool message, Convert convert) {
    std::set<std::string> keys;
    bool repeated = false;
    for (const auto& entry : entries) repeated = !keys.insert(keyFor(entry.first, message)).second || repeated;
    Json table = repeated ? Json::array() : Json::object();
    for (const auto& [id, value] : entries) {
        if (repeated) {
            table.push_back(Json::array({keyFor(id, message), convert(id, value)}));
        } else {
            table[keyFor(id, message)] = convert(id, value);
        }
    }
    return table;
}

Json messagesOut(const std::vector<std::pair<std::int32_t, std::u16string>>& messages) {
    return tableOut(messages, true, [](std::int32_t, const std::u16string& text) { return messageOut(text); });
}

}  // namespace

Json packageToJson(const Package& package, const std::optional<std::filesystem::path>& extractDir,
                   std::uint32_t codePage) {
    Json root = Json::object();
    if (package.integrityFlag == 0 || package.integrityFlag == 1) {
        root["integrity"] = package.integrityFlag == 1;
    } else {
        root["integrity"] = package.integrityFlag;
    }
    root["strings"] = tableOut(package.strings, false, [codePage](std::int32_t id, const std::string& bytes) {
        return stringOut(id, bytes, codePage);
    });
    root["messages"] = messagesOut(package.messages);
    root["languages"] = Json::array();
    for (const LanguageBlock& block : package.languages) {
        const std::optional<std::string> key = fromCodePage(block.key, codePage);
        root["languages"].push_back(Json{{"key", key.value_or(block.key)}, {"messages", messagesOut(block.messages)}});
    }
    root["files"] = Json::array();
    for (const IncludedFile& file : package.files) {
        Json entry{{"name", file.name}, {"size", file.data.size()}};
        if (extractDir) entry["source"] = utf8Of(std::filesystem::absolute(hostPath(*extractDir, file.name)));
        root["files"].push_back(std::move(entry));
    }
    return root;
}

}  // namespace zendra::pack
