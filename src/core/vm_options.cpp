#include "vm_options.h"

#include <algorithm>
#include <array>

#include "expand.h"
#include "language.h"
#include "paths.h"
#include "property_ids.h"
#include "text.h"

namespace zendra {
namespace {

constexpr std::string_view kInclude = "-include-options";
constexpr std::string_view kIncludePrefix = "-include-options ";
constexpr std::string_view kClasspathPrefix = "-classpath ";
constexpr std::string_view kPrependPrefix = "-classpath/p ";
constexpr std::string_view kAppendPrefix = "-classpath/a ";

// The bytes of an open file, at most limit of them; cut tells whether more followed.
std::string readBounded(File& file, std::size_t limit, bool& cut) {
    std::string bytes;
    std::array<char, 4096> chunk{};
    cut = false;
    while (true) {
        const IoResult r = file.read(chunk.data(), chunk.size());
        if (!r.ok || r.bytes == 0) return bytes;  // a read error ends the file like its end does
        if (bytes.size() + r.bytes > limit) {
            bytes.append(chunk.data(), limit - bytes.size());
            cut = true;
            return bytes;
        }
        bytes.append(chunk.data(), r.bytes);
    }
}

// UTF-8 to UTF-16; a malformed sequence becomes U+FFFD.
std::u16string fromUtf8(std::string_view text) {
    std::u16string out;
    for (std::size_t i = 0; i < text.size();) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const int extra = lead < 0x80 ? 0 : (lead >> 5) == 6 ? 1 : (lead >> 4) == 14 ? 2 : (lead >> 3) == 30 ? 3 : -1;
        char32_t code = extra == 0 ? lead : extra == 1 ? lead & 0x1F : extra == 2 ? lead & 0x0F : lead & 0x07;
        bool valid = extra >= 0 && i + static_cast<std::size_t>(extra) < text.size();
        for (int k = 1; valid && k <= extra; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            code = (code << 6) | (next & 0x3F);
        }
        if (!valid || code > 0x10FFFF) {
            out.push_back(u'\uFFFD');
            ++i;
            continue;
        }
        if (code >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((code - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((code - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(code));
        }
        i += static_cast<std::size_t>(extra) + 1;
    }
    return out;
}

// UTF-16 bytes of either order to UTF-16 text; an odd last byte is dropped.
std::u16string fromUtf16(std::string_view bytes, bool bigEndian) {
    std::u16string out;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const auto first = static_cast<unsigned char>(bytes[i]);
        const auto second = static_cast<unsigned char>(bytes[i + 1]);
        out.push_back(static_cast<char16_t>(bigEndian ? (first << 8) | second : (second << 8) | first));
    }
    return out;
}

// The text of an option file in the 8-bit form of every other option text. Editors mark the
// encodings they save in: UTF-8 with its byte-order mark, and UTF-16 ("Unicode") in either
// byte order; those are converted. A file without a mark is taken as it stands.
std::string decodeOptionFile(Launcher& l, std::string bytes) {
    const std::string_view view(bytes);
    std::u16string text;
    if (startsWith(view, "\xEF\xBB\xBF"))
        text = fromUtf8(view.substr(3));
    else if (startsWith(view, "\xFF\xFE") || startsWith(view, "\xFE\xFF"))
        text = fromUtf16(view.substr(2), view[0] == '\xFE');
    else
        return bytes;
    return l.os.codec.toAnsi(text).text;
}

// How many lines an option text has; the last one need not end with a line feed.
std::size_t countLines(std::string_view text) {
    return static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n')) + (!text.empty() && text.back() != '\n');
}

// The line of an option text that begins at at, in text mode: CR LF counts as LF, a lone CR
// is an ordinary byte. at moves on to the next line.
std::string nextLine(const std::string& text, std::size_t& at) {
    const std::size_t start = at;
    std::size_t end = std::min(text.find('\n', start), text.size());
    at = end + 1;
    if (end > start && end < text.size() && text[end - 1] == '\r') --end;
    return text.substr(start, end - start);
}

// Trims a line to the option it carries; false for blank and comment lines.
bool optionOfLine(std::string& line) {
    line.resize(std::min(line.find('\0'), line.size()));  // the text ends at a NUL byte
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos) return false;
    const std::size_t last = line.find_last_not_of(" \t");
    line.resize(last + 1);
    line.erase(0, first);
    return line.front() != '#';
}

// Opens an option file, which must be a regular file: a device or FIFO would block the start
// or never end.
std::unique_ptr<File> openOptionFile(Launcher& l, const std::string& path) {
    if (!l.os.fs.isRegularFile(path)) {
        if (l.os.fs.find(path)) l.log.error("not reading options from %s: no regular file", path.c_str());
        return nullptr;
    }
    std::uint32_t error = 0;
    return l.os.fs.openRead(path, error);
}

// Processes every line of an open option file named name.
void readOptionLines(Launcher& l, const char* name, const std::string* baseFile, File& file, OptionSink& sink) {
    bool cut = false;
    const std::string text = decodeOptionFile(l, readBounded(file, kMaxOptionFileBytes, cut));
    if (cut)
        l.log.error("option file %s is longer than %d bytes, the rest is ignored", name,
                    static_cast<int>(kMaxOptionFileBytes));
    std::size_t lines = countLines(text);
    if (lines > kMaxOptionFileLines) {
        l.log.error("option file %s has more than %d lines, the rest is ignored", name,
                    static_cast<int>(kMaxOptionFileLines));
        lines = kMaxOptionFileLines;
    }
    for (std::size_t at = 0; lines > 0; --lines) {
        std::string line = nextLine(text, at);
        if (line.size() > kMaxOptionLineLength) {
            line.resize(kMaxOptionLineLength);
            l.log.error("option line longer than %d bytes, the rest is ignored: %s",
                        static_cast<int>(kMaxOptionLineLength), line.c_str());
        }
        if (!optionOfLine(line)) continue;
        expandVariables(l, line);
        processOption(l, line, baseFile, sink);
    }
}

// How an option file is recognised when it is met again: its full path, lower-cased.
std::string includeKey(Launcher& l, const std::string& resolved) {
    std::string key = l.os.fs.fullPathName(resolved).value_or(resolved);
    lowerCasePath(key, l.os.codec);
    return key;
}

// Reads the file named by an include option in place, unless that would never end.
void includeOptionFile(Launcher& l, std::string path, const std::string* baseFile, OptionSink& sink) {
    expandVariables(l, path);
    const std::string resolved = resolvePath(l, path, baseFile);
    const std::string key = includeKey(l, resolved);
    if (std::find(sink.includeChain.begin(), sink.includeChain.end(), key) != sink.includeChain.end()) {
        l.log.error("not including %s again (include cycle)", resolved.c_str());
        return;
    }
    if (sink.includeChain.size() >= kMaxIncludeDepth) {
        l.log.error("not including %s (option files nested deeper than %d)", resolved.c_str(),
                    static_cast<int>(kMaxIncludeDepth));
        return;
    }
    std::unique_ptr<File> file = openOptionFile(l, resolved);
    l.log.message("adding vmoptions from <%s> (%s) (%p)", resolved.c_str(), path.c_str(),
                  static_cast<const void*>(file.get()));
    if (!file) return;
    sink.includeChain.push_back(key);
    readOptionFile(l, &resolved, std::move(file), sink);
    sink.includeChain.pop_back();
}

// 8-bit form of a command-line argument; characters without one become "?".
std::string narrowArgument(Launcher& l, const std::u16string& argument) {
    Narrowed n = l.os.codec.toAnsi(argument);
    if (n.usedDefault) l.log.message("argument %s has characters without an 8-bit form", n.text.c_str());
    return std::move(n.text);
}

void addPropertyOptions(Launcher& l, OptionSink& sink) {
    std::string text = l.store.getProperty(prop::vmOptions);
    expandVariables(l, text);
    std::vector<std::string> tokens;
    splitNarrowCommandLine(text, tokens, l.os.codec);
    l.log.message("adding options\n");
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        if (tokens[i] == kInclude && i + 1 < tokens.size()) {
            processOption(l, concat({tokens[i], " ", tokens[i + 1]}), nullptr, sink);
            ++i;
        } else {
            processOption(l, tokens[i], nullptr, sink);
        }
    }
}

void addJavaArguments(Launcher& l, const ArgumentList& arguments, OptionSink& sink) {
    for (const std::u16string& argument : arguments)
        if (startsWith(argument, u"-J")) processOption(l, narrowArgument(l, argument.substr(2)), nullptr, sink);
}

void addLocaleOptions(Launcher& l, const ArgumentList& arguments, OptionSink& sink) {
    std::vector<std::string> narrowArgs;
    for (const std::u16string& argument : arguments) narrowArgs.push_back(std::move(l.os.codec.toAnsi(argument).text));
    for (const std::string& option : localeVmOptions(narrowArgs, l.language)) processOption(l, option, nullptr, sink);
}

}  // namespace

void processOption(Launcher& l, const std::string& option, const std::string* baseFile, OptionSink& sink) {
    if (startsWith(option, kIncludePrefix))
        includeOptionFile(l, option.substr(kIncludePrefix.size()), baseFile, sink);
    else if (startsWith(option, kClasspathPrefix))
        sink.classpathOverride = option.substr(kClasspathPrefix.size());
    else if (startsWith(option, kPrependPrefix))
        sink.classpathPrepend = option.substr(kPrependPrefix.size());
    else if (startsWith(option, kAppendPrefix))
        sink.classpathAppend = option.substr(kAppendPrefix.size());
    else
        sink.vmOptions.push_back(option);
}

void readOptionFile(Launcher& l, const std::string* baseFile, std::unique_ptr<File> file, OptionSink& sink) {
    if (!file) return;
    readOptionLines(l, baseFile ? baseFile->c_str() : "(default)", baseFile, *file, sink);
}

std::unique_ptr<File> openDefaultOptionFile(Launcher& l, std::string* openedPath) {
    const std::string& exe = getExecutablePath(l);
    std::string longForm = l.os.fs.longPathName(exe).value_or(exe);
    // A long form with characters outside the ANSI code page comes back with "?" in their
    // place and names no file; the executable's own (short) form still opens.
    if (longForm.find('?') != std::string::npos) longForm = exe;
    // Windows cuts the four characters of ".exe"; a Linux executable usually has no suffix.
    const std::size_t suffix = l.os.paths().windows ? 4 : (endsWithIgnoreCase(longForm, ".exe") ? 4 : 0);
    const std::string_view stem(longForm.data(), longForm.size() >= suffix ? longForm.size() - suffix : longForm.size());
    std::string path = concat({stem, ".vmoptions"});
    std::unique_ptr<File> file = openOptionFile(l, path);
    l.log.message("vmoptions: exe file: %s, long: %s, opts1: %s, file: %p", exe.c_str(), longForm.c_str(),
                  path.c_str(), static_cast<const void*>(file.get()));
    if (!file) {
        path = concat({longForm, ".vmoptions"});
        file = openOptionFile(l, path);
        l.log.message("vmoptions: opts2: %s, file: %p", path.c_str(), static_cast<const void*>(file.get()));
    }
    if (file && openedPath != nullptr) *openedPath = path;
    return file;
}

void readDefaultOptionFile(Launcher& l, OptionSink& sink) {
    std::string path;
    std::unique_ptr<File> file = openDefaultOptionFile(l, &path);
    l.log.message("default vmoptions file: %p", static_cast<const void*>(file.get()));
    if (!file) return;
    // Registered like an included file, so that an include leading back to it is cut.
    sink.includeChain.push_back(includeKey(l, path));
    readOptionLines(l, path.c_str(), nullptr, *file, sink);
    sink.includeChain.pop_back();
}

void addConfiguredOptions(Launcher& l, const ArgumentList& arguments, OptionSink& sink) {
    addPropertyOptions(l, sink);
    if (l.store.getIntProperty(prop::acceptJavaArguments) != 0) addJavaArguments(l, arguments, sink);
    addLocaleOptions(l, arguments, sink);
}

}  // namespace zendra
