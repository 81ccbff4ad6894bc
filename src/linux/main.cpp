// Entry of the application launcher's Linux edition (an ELF program carrying the same record).
#include <exception>
#include <string>

#include "command_line.h"
#include "entry.h"
#include "posix_platform.h"

int main(int argc, char** argv) {
    try {
        zendra::posix::PosixPlatform& system = zendra::posix::processPlatform();
        zendra::TextCodec& codec = system.platform().codec;
        // The core takes the arguments as they are, and a command line quoted in its own form for
        // what needs the text (the hand-over to a running instance).
        zendra::ArgumentList arguments;
        for (int i = 0; i < argc; ++i) arguments.push_back(codec.fromAnsi(argv[i]));
        const zendra::ArgumentList tail(arguments.begin() + (argc > 0 ? 1 : 0), arguments.end());
        const std::u16string commandLine = zendra::joinCommandLine(arguments);
        const std::string rawTail = codec.toAnsi(zendra::joinCommandLine(tail)).text;
        return zendra::appLauncherMain(system.platform(), commandLine, rawTail, 1, &arguments);
    } catch (const std::exception&) {
        return 1;
    } catch (...) {
        return 1;
    }
}
