// The conversion module of the POSIX layer: every change between UTF-8 and UTF-16 goes through here.
#pragma once

#include <string>
#include <string_view>

#include "platform.h"

namespace zendra::posix {

// UTF-16 to UTF-8. An unpaired surrogate has no mapping: it becomes "?" and sets usedDefault.
Narrowed utf16ToUtf8(std::u16string_view text);

// UTF-8 to UTF-16. Each ill-formed sequence (overlong forms, encoded surrogates, values above
// U+10FFFF, truncated sequences) becomes U+FFFD, one per maximal invalid subpart.
std::u16string utf8ToUtf16(std::string_view text);

// The TextCodec of the portable core: the 8-bit text of a Linux process is UTF-8, for
// both the ANSI and the file code page.
class PosixTextCodec final : public TextCodec {
public:
    // UTF-16 to UTF-8.
    Narrowed toAnsi(const std::u16string& text) override { return utf16ToUtf8(text); }
    // UTF-8 to UTF-16.
    std::u16string fromAnsi(const std::string& text) override { return utf8ToUtf16(text); }
    // UTF-16 to UTF-8.
    Narrowed toFileCodePage(const std::u16string& text) override { return utf16ToUtf8(text); }
    // UTF-8 to UTF-16.
    std::u16string fromFileCodePage(const std::string& text) override { return utf8ToUtf16(text); }
};

}  // namespace zendra::posix
