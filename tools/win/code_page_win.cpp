// The system's code page converters on Windows: WideCharToMultiByte and MultiByteToWideChar.
#include "win32.h"

#include <limits>

#include "ansi_text.h"

namespace zendra::pack {

std::optional<std::string> systemEncode(std::u16string_view text, std::uint32_t codePage) {
    if (text.empty()) return std::string();
    if (text.size() > static_cast<std::size_t>(std::numeric_limits<int>::max() / 4)) return std::nullopt;
    const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
    const int length = static_cast<int>(text.size());
    BOOL usedDefault = FALSE;
    const int size = ::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide, length, nullptr, 0, nullptr, &usedDefault);
    if (size <= 0 || usedDefault) return std::nullopt;
    std::string bytes(static_cast<std::size_t>(size), '\0');
    ::WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, wide, length, bytes.data(), size, nullptr, &usedDefault);
    if (usedDefault) return std::nullopt;
    return bytes;
}

std::optional<std::u16string> systemDecode(std::string_view bytes, std::uint32_t codePage) {
    if (bytes.empty()) return std::u16string();
    if (bytes.size() > static_cast<std::size_t>(std::numeric_limits<int>::max())) return std::nullopt;
    const int length = static_cast<int>(bytes.size());
    const int size = ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), length, nullptr, 0);
    if (size <= 0) return std::nullopt;
    std::u16string text(static_cast<std::size_t>(size), u'\0');
    ::MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), length, reinterpret_cast<wchar_t*>(text.data()),
                          size);
    return text;
}

}  // namespace zendra::pack
