// The system's code page converters on Linux: glibc's iconv.
#include <iconv.h>

#include <cerrno>
#include <memory>

#include "ansi_text.h"

namespace zendra::pack {
namespace {

// Converts bytes from one iconv encoding to another; nullopt when a sequence has no counterpart.
std::optional<std::string> convert(const char* to, const char* from, std::string_view bytes) {
    iconv_t cd = ::iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) return std::nullopt;
    const std::unique_ptr<void, int (*)(iconv_t)> closer(cd, ::iconv_close);
    std::string in(bytes);
    std::string out(in.size() * 4 + 16, '\0');
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    if (::iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) return std::nullopt;
    if (::iconv(cd, nullptr, nullptr, &outPtr, &outLeft) == static_cast<std::size_t>(-1)) return std::nullopt;
    out.resize(out.size() - outLeft);
    return out;
}

std::string iconvName(std::uint32_t codePage) { return "CP" + std::to_string(codePage); }

}  // namespace

std::optional<std::string> systemEncode(std::u16string_view text, std::uint32_t codePage) {
    std::string bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<char>(unit & 0xFF));
        bytes.push_back(static_cast<char>(unit >> 8));
    }
    return convert(iconvName(codePage).c_str(), "UTF-16LE", bytes);
}

std::optional<std::u16string> systemDecode(std::string_view bytes, std::uint32_t codePage) {
    const std::optional<std::string> units = convert("UTF-16LE", iconvName(codePage).c_str(), bytes);
    if (!units) return std::nullopt;
    std::u16string text;
    for (std::size_t i = 0; i + 1 < units->size(); i += 2) {
        text.push_back(static_cast<char16_t>(static_cast<unsigned char>((*units)[i]) |
                                             (static_cast<unsigned char>((*units)[i + 1]) << 8)));
    }
    return text;
}

}  // namespace zendra::pack
