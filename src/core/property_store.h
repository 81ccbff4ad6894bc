// The process's configuration: string and message properties addressed by integer id.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace zendra {

struct LanguageBlock;

// Converts text by the C library's strtol rules in base 10, saturating at the 32-bit limits.
std::int32_t parseDecimal(std::string_view text);

// Filled once at start-up, read-only afterwards.
class PropertyStore {
public:
    // Stores a string property; a later value for the same id replaces the earlier one.
    void setProperty(std::int32_t id, std::string value);
    // Stores a message property; a later value for the same id replaces the earlier one.
    void setMessage(std::int32_t id, std::u16string value);
    // Applies the blocks whose key is a byte-wise prefix of languageCode, in order.
    void applyLanguageBlocks(const std::vector<LanguageBlock>& blocks, std::string_view languageCode);
    // The string property, or an empty string.
    const std::string& getProperty(std::int32_t id) const;
    // The message property, or an empty string.
    const std::u16string& getMessage(std::int32_t id) const;
    // The string property read as a decimal integer (0 when absent or without digits).
    std::int32_t getIntProperty(std::int32_t id) const;
    // The string property "r,g,b" as a Windows colour value 0x00BBGGRR.
    std::uint32_t getColorProperty(std::int32_t id) const;
    // Offset of the first byte behind the record (0 before loading).
    std::uint32_t configurationEndPosition = 0;

private:
    // In the order stored; a lookup takes the last entry of its id. A record holds a few hundred
    // properties, looked up by a fixed set of ids, so a scan costs less than a tree's code.
    std::vector<std::pair<std::int32_t, std::string>> strings_;
    std::vector<std::pair<std::int32_t, std::u16string>> messages_;
};

}  // namespace zendra
