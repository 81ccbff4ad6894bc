#include "service_command.h"

#include <algorithm>
#include <iterator>

#include "text.h"

namespace zendra::service {
namespace {

constexpr std::string_view kNonInteractive = "non-interactive";

// The spellings of the command words, in the order of CommandWord.
constexpr const char* kWords[] = {"install", "install-auto", "install-demand", "install-and-start",
                                  "uninstall", "start", "stop", "status"};

std::optional<CommandWord> wordOf(std::string_view text) {
    for (std::size_t i = 0; i < std::size(kWords); ++i) {
        if (text == kWords[i]) return static_cast<CommandWord>(i);
    }
    return std::nullopt;
}

}  // namespace

std::optional<Command> parseCommand(std::string_view tail) {
    if (tail.empty() || (tail.front() != '/' && tail.front() != '-')) return std::nullopt;
    std::size_t at = 1;
    if (at < tail.size() && tail[at] == '-') ++at;
    const std::size_t blank = tail.find(' ', at);
    const std::optional<CommandWord> word = wordOf(tail.substr(at, blank - at));
    if (!word) return std::nullopt;
    Command command;
    command.word = *word;
    // From each separating blank on: "non-interactive" and the scan goes on behind it, or
    // the name, which takes the rest of the line.
    std::size_t p = blank;
    while (p != std::string_view::npos && tail.size() - p >= 2) {
        if (tail.substr(p + 1, kNonInteractive.size()) == kNonInteractive) {
            command.interactive = false;
            p += 1 + kNonInteractive.size();
            continue;
        }
        std::string_view name = tail.substr(p + 1);
        // A name typed in quotes at a command prompt means the text inside them.
        if (name.size() >= 2 && name.front() == '"' && name.back() == '"' &&
            name.find('"', 1) == name.size() - 1)
            name = name.substr(1, name.size() - 2);
        command.name = std::string(name);
        break;
    }
    return command;
}

std::vector<std::string> splitDependencies(std::string_view list) {
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= list.size()) {
        const std::size_t comma = std::min(list.find(',', start), list.size());
        if (comma > start) names.push_back(std::string(list.substr(start, comma - start)));
        start = comma + 1;
    }
    return names;
}

std::string registeredBinaryPath(const std::string& executablePath) {
    if (executablePath.find(' ') == std::string::npos) return executablePath;
    return concat({"\"", executablePath, "\""});
}

}  // namespace zendra::service
