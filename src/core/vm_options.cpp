#include "vm_options.h"

#include <algorithm>
#include <array>
#include <optional>

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

// Reads a file line by line in text mode: CR LF counts as LF; a lone CR is an ordinary byte.
class LineReader {
public:
    explicit LineReader(File& file) : file_(file) {}

    // The next line without its line feed, at most kMaxOptionLineLength bytes (cut tells
    // whether more followed before the line feed); false at the end of the file.
    bool next(std::string& line, bool& cut) {
        line.clear();
        cut = false;
        int c = get();
        if (c < 0) return false;
        while (c >= 0 && c != '\n') {
            if (c == '\r' && peek() == '\n') {
                get();
                break;
            }
            if (line.size() < kMaxOptionLineLength)
                line.push_back(static_cast<char>(c));
            else
                cut = true;
            c = get();
        }
        return true;
    }

private:
    bool fill() {
        if (atEnd_) return false;
        const IoResult r = file_.read(buffer_.data(), buffer_.size());
        if (!r.ok || r.bytes == 0) {
            atEnd_ = true;  // a read error ends the file like its end does
            return false;
        }
        pos_ = 0;
        end_ = r.bytes;
        return true;
    }
    int peek() {
        if (pos_ == end_ && !fill()) return -1;
        return static_cast<unsigned char>(buffer_[pos_]);
    }
    int get() {
        const int c = peek();
        if (c >= 0) ++pos_;
        return c;
    }

    File& file_;
    std::array<char, 4096> buffer_{};
    std::size_t pos_ = 0;
    std::size_t end_ = 0;
    bool atEnd_ = false;
};

// The option a line carries after trimming, or nothing for blank and comment lines.
std::optional<std::string> optionOfLine(std::string line) {
    line.resize(std::min(line.find('\0'), line.size()));  // the text ends at a NUL byte
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n')) line.pop_back();
    const std::size_t first = line.find_first_not_of(' ');
    if (first == std::string::npos) return std::nullopt;
    const std::size_t last = line.find_last_not_of(' ');
    line = line.substr(first, last - first + 1);
    if (line.front() == '#') return std::nullopt;
    return line;
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
    std::uint32_t error = 0;
    std::unique_ptr<File> file = l.os.fs.openRead(resolved, error);
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
            processOption(l, tokens[i] + " " + tokens[i + 1], nullptr, sink);
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
    narrowArgs.reserve(arguments.size());
    for (const std::u16string& argument : arguments) narrowArgs.push_back(l.os.codec.toAnsi(argument).text);
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
    LineReader reader(*file);
    std::string line;
    bool cut = false;
    while (reader.next(line, cut)) {
        if (cut)
            l.log.error("option line longer than %d bytes, the rest is ignored: %s",
                        static_cast<int>(kMaxOptionLineLength), line.c_str());
        std::optional<std::string> option = optionOfLine(line);
        if (!option) continue;
        expandVariables(l, *option);
        processOption(l, *option, baseFile, sink);
    }
}

std::unique_ptr<File> openDefaultOptionFile(Launcher& l) {
    const std::string& exe = getExecutablePath(l);
    std::string longForm = l.os.fs.longPathName(exe).value_or(exe);
    // A long form with characters outside the ANSI code page comes back with "?" in their
    // place and names no file; the executable's own (short) form still opens.
    if (longForm.find('?') != std::string::npos) longForm = exe;
    // Windows cuts the four characters of ".exe"; a Linux executable usually has no suffix.
    const std::size_t suffix = l.os.paths().windows ? 4 : (endsWithIgnoreCase(longForm, ".exe") ? 4 : 0);
    const std::string stem = longForm.size() >= suffix ? longForm.substr(0, longForm.size() - suffix) : longForm;
    const std::string first = stem + ".vmoptions";
    std::uint32_t error = 0;
    std::unique_ptr<File> file = l.os.fs.openRead(first, error);
    l.log.message("vmoptions: exe file: %s, long: %s, opts1: %s, file: %p", exe.c_str(), longForm.c_str(),
                  first.c_str(), static_cast<const void*>(file.get()));
    if (file) return file;
    const std::string second = longForm + ".vmoptions";
    file = l.os.fs.openRead(second, error);
    l.log.message("vmoptions: opts2: %s, file: %p", second.c_str(), static_cast<const void*>(file.get()));
    return file;
}

void addConfiguredOptions(Launcher& l, const ArgumentList& arguments, OptionSink& sink) {
    addPropertyOptions(l, sink);
    if (l.store.getIntProperty(prop::acceptJavaArguments) != 0) addJavaArguments(l, arguments, sink);
    addLocaleOptions(l, arguments, sink);
}

}  // namespace zendra
