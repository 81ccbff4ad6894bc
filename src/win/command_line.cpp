#include "command_line.h"

#include "text_codec.h"
#include "win32.h"

namespace zendra::win {

std::u16string commandTail(const std::u16string& commandLine) {
    std::size_t i = 0;
    bool quoted = false;
    while (i < commandLine.size() && (commandLine[i] > u' ' || quoted)) {
        if (commandLine[i] == u'"') quoted = !quoted;
        ++i;
    }
    while (i < commandLine.size() && commandLine[i] <= u' ') ++i;
    return commandLine.substr(i);
}

EntryCommandLine currentCommandLine(TextCodec& codec) {
    EntryCommandLine result;
    result.commandLine = fromWide(::GetCommandLineW());
    result.rawTail = codec.toAnsi(commandTail(result.commandLine)).text;
    return result;
}

}  // namespace zendra::win
