// The command words of the service launcher: how a command line names one, and the texts
// a registration is made of.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zendra::service {

// The eight command words.
enum class CommandWord { Install, InstallAuto, InstallDemand, InstallAndStart, Uninstall, Start, Stop, Status };

// A command as the command line gives it.
struct Command {
    CommandWord word = CommandWord::Status;
    bool interactive = true;          // cleared by "non-interactive" after the word
    std::optional<std::string> name;  // the rest of the line after the word, when given
};

// The command of an 8-bit command-line tail (the text after the program name): "/" or "-",
// an optional further "-", the word up to the first blank, then optionally
// "non-interactive" and the service name, each after one blank (a name enclosed in one pair
// of double quotes is taken without them). nullopt when the tail does
// not begin with a prefix or the word is none of the eight (compared case-sensitively).
std::optional<Command> parseCommand(std::string_view tail);

// The dependency names of a comma-separated list; empty pieces are left out.
std::vector<std::string> splitDependencies(std::string_view list);

// The binary path of a registration: the executable path, in double quotes when it holds a
// blank, so that the manager cannot take a shorter prefix of it for the program.
std::string registeredBinaryPath(const std::string& executablePath);

}  // namespace zendra::service
