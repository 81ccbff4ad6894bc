// libFuzzer target for the command-line tokenizer. Properties: the tokens of any text equal
// those of an independent character-by-character reading of the rules; tokens and argument
// lists joined by joinCommandLine split back unchanged (unless one holds both quote kinds);
// the 8-bit forms give the same tokens as the wide one.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "command_line.h"
#include "fake_platform.h"
#include "fuzz_support.h"

namespace {

using zendra::ArgumentList;
using zendra::fuzz::check;

// Bytes as UTF-16: each byte one code unit, except that 0xFF takes the next two bytes as a
// little-endian code unit (so that any unit, surrogates included, can occur).
std::u16string decode(const std::uint8_t* data, std::size_t size) {
    std::u16string text;
    for (std::size_t i = 0; i < size; ++i) {
        if (data[i] == 0xFF && i + 2 < size) {
            text.push_back(static_cast<char16_t>(data[i + 1] | (data[i + 2] << 8)));
            i += 2;
        } else {
            text.push_back(data[i]);
        }
    }
    return text;
}

// The splitting rules read one character at a time: between tokens, inside an unquoted
// token, or inside a quoted segment (which the same quote character closes).
ArgumentList referenceSplit(std::u16string_view text) {
    ArgumentList out;
    std::u16string token;
    bool inToken = false;
    char16_t quote = 0;
    auto finish = [&] {
        out.push_back(token);
        token.clear();
        inToken = false;
    };
    for (char16_t c : text) {
        if (quote != 0) {
            if (c == quote) {
                quote = 0;
                finish();  // text glued behind a closing quote starts a new token
            } else {
                token += c;
            }
        } else if (c == u'"' || c == u'\'') {
            quote = c;
            inToken = true;
        } else if (c == u' ') {
            if (inToken) finish();
        } else {
            token += c;
            inToken = true;
        }
    }
    if (inToken) finish();  // an unterminated quote runs to the end
    return out;
}

bool joinable(const ArgumentList& arguments) {
    for (const std::u16string& argument : arguments)
        if (argument.find(u'"') != std::u16string::npos && argument.find(u'\'') != std::u16string::npos) return false;
    return true;
}

ArgumentList split(std::u16string_view text) {
    ArgumentList out;
    zendra::splitCommandLine(text, out);
    return out;
}

void checkJoinSplits(const ArgumentList& arguments) {
    if (joinable(arguments)) check(split(zendra::joinCommandLine(arguments)) == arguments, "join then split");
}

// The 8-bit forms: each token converted, and text in the ANSI code page (Latin-1 here) split alike.
void checkNarrow(const std::u16string& text, const ArgumentList& tokens, const std::uint8_t* data, std::size_t size) {
    zendra::test::FakeCodec codec;
    std::vector<std::string> narrow;
    zendra::splitCommandLineNarrow(text, narrow, codec);
    check(narrow.size() == tokens.size(), "narrow split keeps the token count");
    for (std::size_t i = 0; i < tokens.size(); ++i)
        check(narrow[i] == codec.toAnsi(tokens[i]).text, "narrow split converts each token");

    const std::string ansi(reinterpret_cast<const char*>(data), std::min<std::size_t>(size, 8191));
    std::vector<std::string> fromAnsi;
    zendra::splitNarrowCommandLine(ansi, fromAnsi, codec);
    const ArgumentList wide = split(codec.fromAnsi(ansi));
    check(fromAnsi.size() == wide.size(), "ANSI split keeps the token count");
    for (std::size_t i = 0; i < wide.size(); ++i)
        check(fromAnsi[i] == codec.toAnsi(wide[i]).text, "ANSI split equals the wide split");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::u16string text = decode(data, size);
    ArgumentList tokens{u"kept"};
    zendra::splitCommandLine(text, tokens);
    check(tokens.front() == u"kept", "splitting appends to the list");
    tokens.erase(tokens.begin());
    check(tokens == referenceSplit(text), "tokens follow the splitting rules");
    checkJoinSplits(tokens);

    // The same input read as an argument list (NUL-separated), as a caller would hand it over.
    ArgumentList arguments(1);
    for (char16_t c : text) {
        if (c == 0)
            arguments.emplace_back();
        else
            arguments.back() += c;
    }
    checkJoinSplits(arguments);
    checkNarrow(text, tokens, data, size);
    return 0;
}
