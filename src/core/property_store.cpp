#include "property_store.h"

#include <limits>

#include "record.h"

namespace zendra {
namespace {

bool isCSpace(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r'; }

const std::string kEmpty;
const std::u16string kEmptyW;

template <typename Text>
const Text& latest(const std::vector<std::pair<std::int32_t, Text>>& entries, std::int32_t id, const Text& none) {
    for (auto it = entries.rbegin(); it != entries.rend(); ++it)
        if (it->first == id) return it->second;
    return none;
}

}  // namespace

std::int32_t parseDecimal(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && isCSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = value * 10 + (text[i] - '0');
        if (value > kMax + 1) value = kMax + 1;  // saturate; keep going to consume digits
    }
    if (negative) return static_cast<std::int32_t>(-value);
    return static_cast<std::int32_t>(value > kMax ? kMax : value);
}

// The ids are const so that these append through the same instances as the record reader.
void PropertyStore::setProperty(const std::int32_t id, std::string value) { strings_.emplace_back(id, std::move(value)); }

void PropertyStore::setMessage(const std::int32_t id, std::u16string value) {
    messages_.emplace_back(id, std::move(value));
}

void PropertyStore::applyLanguageBlocks(const std::vector<LanguageBlock>& blocks, std::string_view languageCode) {
    for (const auto& block : blocks) {
        if (languageCode.substr(0, block.key.size()) != block.key) continue;
        for (const auto& [id, text] : block.messages) setMessage(id, text);
    }
}

const std::string& PropertyStore::getProperty(std::int32_t id) const { return latest(strings_, id, kEmpty); }

const std::u16string& PropertyStore::getMessage(std::int32_t id) const { return latest(messages_, id, kEmptyW); }

std::int32_t PropertyStore::getIntProperty(std::int32_t id) const { return parseDecimal(getProperty(id)); }

std::uint32_t PropertyStore::getColorProperty(std::int32_t id) const {
    std::string_view rest = getProperty(id);
    std::uint32_t colour = 0;
    for (int shift = 0; shift < 24 && !rest.empty(); shift += 8) {
        std::size_t comma = rest.find(',');
        auto component = static_cast<std::uint32_t>(parseDecimal(rest.substr(0, comma))) & 0xFFu;
        colour |= component << shift;
        rest = comma == std::string_view::npos ? std::string_view{} : rest.substr(comma + 1);
    }
    return colour;
}

}  // namespace zendra
