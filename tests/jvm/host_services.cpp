#include "host_services.h"

#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>

namespace zendra::jvmtest {
namespace {

constexpr std::uint32_t kModuleNotFound = 126;

std::string lowerAscii(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

void writeAll(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n <= 0) return;
        done += static_cast<std::size_t>(n);
    }
}

void appendUtf8(std::string& out, char32_t c) {
    if (c < 0x80) {
        out += static_cast<char>(c);
    } else if (c < 0x800) {
        out += static_cast<char>(0xC0 | (c >> 6));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        out += static_cast<char>(0xE0 | (c >> 12));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (c >> 18));
        out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (c & 0x3F));
    }
}

void appendUtf16(std::u16string& out, char32_t c) {
    if (c < 0x10000) {
        out += static_cast<char16_t>(c);
        return;
    }
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 | (c >> 10));
    out += static_cast<char16_t>(0xDC00 | (c & 0x3FF));
}

// The length of the UTF-8 sequence a lead byte starts and its payload bits (0 when invalid).
std::size_t sequenceLength(unsigned char lead, char32_t& bits) {
    if (lead < 0x80) { bits = lead; return 1; }
    if ((lead & 0xE0) == 0xC0) { bits = lead & 0x1Fu; return 2; }
    if ((lead & 0xF0) == 0xE0) { bits = lead & 0x0Fu; return 3; }
    if ((lead & 0xF8) == 0xF0) { bits = lead & 0x07u; return 4; }
    return 0;
}

}  // namespace

std::string toUtf8(const std::u16string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char16_t c = text[i];
        const bool high = c >= 0xD800 && c <= 0xDBFF;
        const bool nextLow = i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF;
        if (high && nextLow) {
            appendUtf8(out, 0x10000 + ((static_cast<char32_t>(c) - 0xD800) << 10) + (text[i + 1] - 0xDC00u));
            ++i;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            out += '?';
        } else {
            appendUtf8(out, c);
        }
    }
    return out;
}

std::u16string fromUtf8(const std::string& text) {
    std::u16string out;
    std::size_t i = 0;
    while (i < text.size()) {
        char32_t c = 0;
        const std::size_t length = sequenceLength(static_cast<unsigned char>(text[i]), c);
        bool valid = length > 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto b = static_cast<unsigned char>(text[i + k]);
            valid = (b & 0xC0) == 0x80;
            c = (c << 6) | (b & 0x3Fu);
        }
        if (!valid) {
            out += u'\uFFFD';
            ++i;
            continue;
        }
        appendUtf16(out, c);
        i += length;
    }
    return out;
}

LibraryRef DlLibraries::load(const std::string& path, std::uint32_t& error) {
    auto alias = aliases_.find(lowerAscii(path));
    const std::string& real = alias == aliases_.end() ? path : alias->second;
    void* handle = ::dlopen(real.c_str(), RTLD_NOW | RTLD_LOCAL);
    error = handle == nullptr ? kModuleNotFound : 0;
    return handle;
}

void* DlLibraries::symbol(LibraryRef library, const char* name) { return ::dlsym(library, name); }

void DlLibraries::alias(const std::string& windowsPath, const std::string& realPath) {
    aliases_[lowerAscii(windowsPath)] = realPath;
}

Narrowed Utf8Codec::toAnsi(const std::u16string& text) {
    Narrowed n;
    n.text = toUtf8(text);
    n.usedDefault = fromUtf8(n.text) != text;
    return n;
}

std::u16string Utf8Codec::fromAnsi(const std::string& text) { return fromUtf8(text); }

BoxAnswer StderrUserInterface::messageBox(WindowRef, const std::string& text, const std::string& caption,
                                          BoxStyle) {
    writeAll(2, "[message box " + caption + "] " + text + "\n");
    return BoxAnswer::Ok;
}

BoxAnswer StderrUserInterface::messageBoxW(WindowRef owner, const std::u16string& text,
                                           const std::u16string& caption, BoxStyle style) {
    return messageBox(owner, toUtf8(text), toUtf8(caption), style);
}

void StderrUserInterface::writeStderr(const std::string& text) { writeAll(2, text); }

void StderrUserInterface::writeStderrW(const std::u16string& text) { writeAll(2, toUtf8(text)); }

void StderrUserInterface::writeStdout(const std::string& text) { writeAll(1, text); }

}  // namespace zendra::jvmtest
