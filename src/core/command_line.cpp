#include "command_line.h"

namespace zendra {
namespace {

constexpr auto npos = std::u16string_view::npos;

// Handles a quoted segment opened by quote at position k of p; returns the rest after it.
std::u16string_view takeQuoted(std::u16string_view p, std::size_t k, char16_t quote, ArgumentList& out) {
    std::size_t close = p.find(quote, k + 1);
    std::u16string token(p.substr(0, k));
    if (close == npos) {
        token.append(p.substr(k + 1));
        out.push_back(std::move(token));
        return {};
    }
    token.append(p.substr(k + 1, close - k - 1));
    out.push_back(std::move(token));
    p.remove_prefix(close + 1);
    if (!p.empty() && p.front() == u' ') p.remove_prefix(1);
    return p;
}

}  // namespace

void splitCommandLine(std::u16string_view p, ArgumentList& out) {
    while (!p.empty()) {
        if (p.front() == u' ') {
            p.remove_prefix(1);
            continue;
        }
        std::size_t space = p.find(u' ');
        std::size_t dquote = p.find(u'"');
        std::size_t squote = p.find(u'\'');
        if (space != npos && space < dquote && space < squote) {
            out.emplace_back(p.substr(0, space));
            p.remove_prefix(space + 1);
        } else if (dquote != npos && dquote < squote) {
            p = takeQuoted(p, dquote, u'"', out);
        } else if (squote != npos) {
            p = takeQuoted(p, squote, u'\'', out);
        } else {
            out.emplace_back(p);
            return;
        }
    }
}

std::u16string joinCommandLine(const ArgumentList& arguments) {
    std::u16string text;
    for (const std::u16string& argument : arguments) {
        if (!text.empty()) text += u' ';
        if (!argument.empty() && argument.find_first_of(u" \"'") == std::u16string::npos) {
            text += argument;
            continue;
        }
        const char16_t quote = argument.find(u'"') == std::u16string::npos ? u'"' : u'\'';
        text += quote;
        text += argument;
        text += quote;
    }
    return text;
}

void splitCommandLineNarrow(std::u16string_view text, std::vector<std::string>& out, TextCodec& codec) {
    ArgumentList wide;
    splitCommandLine(text, wide);
    for (const auto& token : wide) out.push_back(codec.toAnsi(token).text);
}

void splitNarrowCommandLine(std::string_view text, std::vector<std::string>& out, TextCodec& codec) {
    std::u16string wide = codec.fromAnsi(std::string(text));
    if (wide.size() > 8191) wide.resize(8191);
    splitCommandLineNarrow(wide, out, codec);
}

}  // namespace zendra
