// The text form of a store, one line each:
//
//   zendra-store 1                            first line: format and version
//   [SOFTWARE\orvane-labs\zendra] 1334...     a key: its path and last write (FILETIME units)
//   Version=string:17.0.2                     a value of the key above: name=type:data
//   LastWriteTime=binary:00c0ffee12345678
//
// Types are "string", "binary", "dword" or a decimal number. String data is text, other data
// hexadecimal bytes. In paths, names and string data every byte below 0x20, 0x7F, "%" (and in
// paths and names also "=", "[", "]" and "#") is written as "%XX". Empty lines and lines
// starting with "#" are ignored.
#include "posix_key_store.h"

#include <algorithm>

namespace zendra::posix {

namespace {

constexpr std::string_view kHeader = "zendra-store 1";

// ASCII lower case.
char fold(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Whether two names are equal without regard to ASCII case.
bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return fold(x) == fold(y); });
}

// The non-empty "\\"-separated components of a key path.
std::vector<std::string_view> components(std::string_view key) {
    std::vector<std::string_view> parts;
    while (!key.empty()) {
        const std::size_t cut = key.find('\\');
        const std::string_view part = key.substr(0, cut);
        if (!part.empty()) parts.push_back(part);
        key = cut == std::string_view::npos ? std::string_view() : key.substr(cut + 1);
    }
    return parts;
}

// The first count components joined with "\\", folded or as spelled.
std::string joined(const std::vector<std::string_view>& parts, std::size_t count, bool folded) {
    std::string out;
    for (std::size_t i = 0; i < count; ++i) {
        if (i > 0) out.push_back('\\');
        for (char c : parts[i]) out.push_back(folded ? fold(c) : c);
    }
    return out;
}

// The folded form of a key path.
std::string foldedKey(std::string_view key) {
    const auto parts = components(key);
    return joined(parts, parts.size(), true);
}

constexpr char kHex[] = "0123456789abcdef";

// text with the bytes that need it written as "%XX".
std::string encode(std::string_view text, bool strict) {
    std::string out;
    for (char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        const bool special = strict && (c == '=' || c == '[' || c == ']' || c == '#');
        if (byte < 0x20 || byte == 0x7F || c == '%' || special) {
            out += '%';
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out.push_back(c);
        }
    }
    return out;
}

// The value of one hexadecimal digit, or -1.
int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// The text of an encoded field; nullopt for a broken "%" escape.
std::optional<std::string> decode(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            out.push_back(text[i]);
            continue;
        }
        if (i + 2 >= text.size()) return std::nullopt;
        const int high = hexValue(text[i + 1]);
        const int low = hexValue(text[i + 2]);
        if (high < 0 || low < 0) return std::nullopt;
        out.push_back(static_cast<char>(high * 16 + low));
        i += 2;
    }
    return out;
}

// The bytes as hexadecimal digits.
std::string hexBytes(const std::vector<std::uint8_t>& data) {
    std::string out;
    for (std::uint8_t byte : data) {
        out += kHex[byte >> 4];
        out += kHex[byte & 0xF];
    }
    return out;
}

// Bytes from hexadecimal digits; nullopt when they are not pairs of digits.
std::optional<std::vector<std::uint8_t>> bytesFromHex(std::string_view text) {
    if (text.size() % 2 != 0) return std::nullopt;
    std::vector<std::uint8_t> out;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        const int high = hexValue(text[i]);
        const int low = hexValue(text[i + 1]);
        if (high < 0 || low < 0) return std::nullopt;
        out.push_back(static_cast<std::uint8_t>(high * 16 + low));
    }
    return out;
}

// A decimal number of at most 20 digits; nullopt otherwise.
std::optional<std::uint64_t> decimal(std::string_view text) {
    if (text.empty() || text.size() > 20) return std::nullopt;
    std::uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        const std::uint64_t digit = static_cast<std::uint64_t>(c - '0');
        if (value > (UINT64_MAX - digit) / 10) return std::nullopt;
        value = value * 10 + digit;
    }
    return value;
}

// The type's name in the text.
std::string typeName(std::uint32_t type) {
    switch (type) {
        case static_cast<std::uint32_t>(RegType::String):
            return "string";
        case static_cast<std::uint32_t>(RegType::Binary):
            return "binary";
        case static_cast<std::uint32_t>(RegType::Dword):
            return "dword";
        default:
            return std::to_string(type);
    }
}

// A type from its name in the text.
std::optional<std::uint32_t> typeFromName(std::string_view name) {
    if (name == "string") return static_cast<std::uint32_t>(RegType::String);
    if (name == "binary") return static_cast<std::uint32_t>(RegType::Binary);
    if (name == "dword") return static_cast<std::uint32_t>(RegType::Dword);
    const auto number = decimal(name);
    if (!number || *number > UINT32_MAX) return std::nullopt;
    return static_cast<std::uint32_t>(*number);
}

// Parses "[path] time"; false when the line is damaged.
bool parseKeyLine(std::string_view line, std::string& path, std::uint64_t& time) {
    const std::size_t close = line.find("] ");
    if (close == std::string_view::npos) return false;
    const auto decoded = decode(line.substr(1, close - 1));
    const auto parsedTime = decimal(line.substr(close + 2));
    if (!decoded || !parsedTime) return false;
    path = *decoded;
    time = *parsedTime;
    return true;
}

// Parses "name=type:data"; nullopt when the line is damaged.
std::optional<StoredValue> parseValueLine(std::string_view line) {
    const std::size_t equals = line.find('=');
    const std::size_t colon = line.find(':', equals == std::string_view::npos ? 0 : equals);
    if (equals == std::string_view::npos || colon == std::string_view::npos) return std::nullopt;
    const auto name = decode(line.substr(0, equals));
    const auto type = typeFromName(line.substr(equals + 1, colon - equals - 1));
    if (!name || !type) return std::nullopt;
    const std::string_view data = line.substr(colon + 1);
    StoredValue value{*name, RegValue{*type, {}}};
    if (*type == static_cast<std::uint32_t>(RegType::String)) {
        const auto text = decode(data);
        if (!text) return std::nullopt;
        value.value.data.assign(text->begin(), text->end());
    } else {
        auto bytes = bytesFromHex(data);
        if (!bytes) return std::nullopt;
        value.value.data = std::move(*bytes);
    }
    return value;
}

}  // namespace

KeyStore::KeyStore() { keys_.emplace(std::string(), StoredKey{}); }

const StoredKey* KeyStore::find(std::string_view key) const {
    const auto it = keys_.find(foldedKey(key));
    return it == keys_.end() ? nullptr : &it->second;
}

const StoredValue* KeyStore::findValue(std::string_view key, std::string_view name) const {
    const StoredKey* stored = find(key);
    if (stored == nullptr) return nullptr;
    for (const auto& value : stored->values)
        if (sameName(value.name, name)) return &value;
    return nullptr;
}

StoredKey& KeyStore::ensure(const std::vector<std::string_view>& parts, std::uint64_t now, bool touchParent) {
    StoredKey* current = &keys_.at(std::string());
    for (std::size_t depth = 1; depth <= parts.size(); ++depth) {
        auto [it, added] = keys_.try_emplace(joined(parts, depth, true));
        if (added) {
            it->second.path = joined(parts, depth, false);
            it->second.lastWriteTime = now;
            if (touchParent) current->lastWriteTime = now;
        }
        current = &it->second;
    }
    return *current;
}

void KeyStore::createKey(std::string_view key, std::uint64_t now) { ensure(components(key), now, true); }

void KeyStore::setValue(std::string_view key, const std::string& name, const RegValue& value, std::uint64_t now) {
    StoredKey& stored = ensure(components(key), now, true);
    stored.lastWriteTime = now;
    putValue(stored, {name, value});
}

void KeyStore::putValue(StoredKey& key, StoredValue value) {
    for (auto& existing : key.values) {
        if (sameName(existing.name, value.name)) {
            existing.value = std::move(value.value);
            return;
        }
    }
    key.values.push_back(std::move(value));
}

bool KeyStore::deleteValue(std::string_view key, const std::string& name, std::uint64_t now) {
    const auto it = keys_.find(foldedKey(key));
    if (it == keys_.end()) return false;
    auto& values = it->second.values;
    const auto found =
        std::find_if(values.begin(), values.end(), [&](const StoredValue& v) { return sameName(v.name, name); });
    if (found == values.end()) return false;
    values.erase(found);
    it->second.lastWriteTime = now;
    return true;
}

std::optional<std::vector<RegSubKey>> KeyStore::subKeys(std::string_view key) const {
    const std::string folded = foldedKey(key);
    if (keys_.count(folded) == 0) return std::nullopt;
    const std::string prefix = folded.empty() ? std::string() : folded + "\\";
    std::vector<RegSubKey> children;
    for (auto it = keys_.lower_bound(prefix); it != keys_.end() && it->first.compare(0, prefix.size(), prefix) == 0;
         ++it) {
        if (it->first.size() == prefix.size() || it->first.find('\\', prefix.size()) != std::string::npos) continue;
        const StoredKey& child = it->second;
        children.push_back({child.path.substr(child.path.size() - (it->first.size() - prefix.size())),
                            child.lastWriteTime});
    }
    return children;
}

std::string KeyStore::serialize() const {
    std::string out(kHeader);
    out += '\n';
    for (const auto& [folded, key] : keys_) {
        out += "[" + encode(key.path, true) + "] " + std::to_string(key.lastWriteTime) + "\n";
        for (const auto& [name, value] : key.values) {
            out += encode(name, true) + "=" + typeName(value.type) + ":";
            if (value.type == static_cast<std::uint32_t>(RegType::String)) {
                out += encode(std::string_view(reinterpret_cast<const char*>(value.data.data()), value.data.size()), false);
            } else {
                out += hexBytes(value.data);
            }
            out += '\n';
        }
    }
    return out;
}

std::optional<KeyStore> KeyStore::parse(std::string_view text) {
    KeyStore store;
    StoredKey* current = nullptr;
    bool headerSeen = false;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        if (!headerSeen) {
            if (line != kHeader) return std::nullopt;
            headerSeen = true;
        } else if (line.empty() || line.front() == '#') {
            continue;
        } else if (line.front() == '[') {
            std::string path;
            std::uint64_t time = 0;
            if (!parseKeyLine(line, path, time)) return std::nullopt;
            current = &store.ensure(components(path), time, false);
            current->lastWriteTime = time;
        } else {
            auto value = parseValueLine(line);
            if (!value || current == nullptr) return std::nullopt;
            store.putValue(*current, std::move(*value));
        }
    }
    if (!headerSeen) return std::nullopt;
    return store;
}

}  // namespace zendra::posix
