// The conversion module: every change of character width in the Windows layer goes through here.
#pragma once

#include <string>

#include "platform.h"

namespace zendra::win {

// UTF-16 to an 8-bit code page. Characters without an exact mapping become "?" (no
// best-fit substitution, so a converted path never silently names a different file) and
// set usedDefault. UTF-8 and UTF-7 code pages map everything and never set usedDefault.
Narrowed narrowText(unsigned codePage, const std::u16string& text);

// An 8-bit code page to UTF-16.
std::u16string widenText(unsigned codePage, const std::string& text);

// The code page the 8-bit file APIs use: ANSI, or OEM after SetFileApisToOEM.
unsigned fileApiCodePage();

// A UTF-16 string as the wide-character string the W functions take (code units copied).
std::wstring toWide(const std::u16string& text);

// A wide-character string from a W function as UTF-16 (code units copied).
std::u16string fromWide(const std::wstring& text);

// A zero-terminated wide-character string as UTF-16; null gives an empty string.
std::u16string fromWide(const wchar_t* text);

// UTF-16 text as the zero-terminated wide string a W function reads, without a copy
// (wchar_t holds the same code units).
inline const wchar_t* asWide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

// The characters of a UTF-16 buffer as the wide buffer a W function fills, without a copy.
inline wchar_t* asWide(std::u16string& buffer) { return reinterpret_cast<wchar_t*>(buffer.data()); }

// The TextCodec of the portable core, on the code pages of this process.
class WinTextCodec final : public TextCodec {
public:
    // UTF-16 to the ANSI code page.
    Narrowed toAnsi(const std::u16string& text) override;
    // ANSI code page to UTF-16.
    std::u16string fromAnsi(const std::string& text) override;
    // UTF-16 to the code page of the file APIs.
    Narrowed toFileCodePage(const std::u16string& text) override;
    // Code page of the file APIs to UTF-16.
    std::u16string fromFileCodePage(const std::string& text) override;
};

}  // namespace zendra::win
