#include "text_codec.h"

#include <limits>

#include "win32.h"

namespace zendra::win {

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 code units");

// Whether WideCharToMultiByte refuses a default character and flags for this code page.
// The symbolic ANSI and OEM code pages are resolved first: either may be UTF-8.
bool mapsEverything(unsigned codePage) {
    if (codePage == CP_ACP) codePage = ::GetACP();
    if (codePage == CP_OEMCP) codePage = ::GetOEMCP();
    return codePage == CP_UTF8 || codePage == CP_UTF7;
}

// Checked narrowing of a length for the int-sized Win32 parameters.
int apiLength(std::size_t size) {
    return size > static_cast<std::size_t>(std::numeric_limits<int>::max()) ? -1 : static_cast<int>(size);
}

// One WideCharToMultiByte pass; output null asks for the required size.
int wideToMulti(unsigned codePage, DWORD flags, const std::u16string& text, char* output, int outputSize,
                BOOL* usedDefault) {
    const bool exact = !mapsEverything(codePage);
    return ::WideCharToMultiByte(codePage, flags, reinterpret_cast<const wchar_t*>(text.data()),
                                 apiLength(text.size()), output, outputSize, exact ? "?" : nullptr,
                                 exact ? usedDefault : nullptr);
}

}  // namespace

Narrowed narrowText(unsigned codePage, const std::u16string& text) {
    Narrowed result;
    if (text.empty() || apiLength(text.size()) < 0) return result;
    DWORD flags = mapsEverything(codePage) ? 0 : WC_NO_BEST_FIT_CHARS;
    int needed = wideToMulti(codePage, flags, text, nullptr, 0, nullptr);
    if (needed == 0 && ::GetLastError() == ERROR_INVALID_FLAGS) {
        // Some code pages (ISO-2022 and the like) accept no flags at all.
        flags = 0;
        needed = wideToMulti(codePage, flags, text, nullptr, 0, nullptr);
    }
    if (needed <= 0) return result;
    result.text.resize(static_cast<std::size_t>(needed));
    BOOL usedDefault = FALSE;
    const int written = wideToMulti(codePage, flags, text, result.text.data(), needed, &usedDefault);
    result.text.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    result.usedDefault = usedDefault != FALSE;
    return result;
}

std::u16string widenText(unsigned codePage, const std::string& text) {
    std::u16string result;
    const int length = apiLength(text.size());
    if (text.empty() || length < 0) return result;
    const int needed = ::MultiByteToWideChar(codePage, 0, text.data(), length, nullptr, 0);
    if (needed <= 0) return result;
    result.resize(static_cast<std::size_t>(needed));
    const int written = ::MultiByteToWideChar(codePage, 0, text.data(), length,
                                              reinterpret_cast<wchar_t*>(result.data()), needed);
    result.resize(written > 0 ? static_cast<std::size_t>(written) : 0);
    return result;
}

unsigned fileApiCodePage() {
    return ::AreFileApisANSI() ? CP_ACP : CP_OEMCP;
}

// The two types hold the same UTF-16 code units: the conversions copy them as they are.
std::wstring toWide(const std::u16string& text) {
    return std::wstring(reinterpret_cast<const wchar_t*>(text.data()), text.size());
}

std::u16string fromWide(const std::wstring& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.data()), text.size());
}

std::u16string fromWide(const wchar_t* text) {
    return text == nullptr ? std::u16string() : std::u16string(reinterpret_cast<const char16_t*>(text));
}

Narrowed WinTextCodec::toAnsi(const std::u16string& text) {
    return narrowText(CP_ACP, text);
}

std::u16string WinTextCodec::fromAnsi(const std::string& text) {
    return widenText(CP_ACP, text);
}

Narrowed WinTextCodec::toFileCodePage(const std::u16string& text) {
    return narrowText(fileApiCodePage(), text);
}

std::u16string WinTextCodec::fromFileCodePage(const std::string& text) {
    return widenText(fileApiCodePage(), text);
}

}  // namespace zendra::win
