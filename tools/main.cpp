// zendra-pack: packages a launcher executable with its configuration record.
#include <iostream>
#include <string>
#include <vector>

#include "pack_cli.h"

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>

#include "pack_text.h"

// Arguments arrive as UTF-16 and are handed on as UTF-8; output is written byte for byte as
// on Linux (no line-end translation).
int wmain(int argc, wchar_t** argv) {
    std::vector<std::string> args;
    for (int i = 1; i < argc; ++i) {
        bool replaced = false;
        args.push_back(zendra::pack::utf16ToUtf8(reinterpret_cast<const char16_t*>(argv[i]), replaced));
    }
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
    return zendra::pack::runPackTool(args, std::cout, std::cerr);
}
#else
int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return zendra::pack::runPackTool(args, std::cout, std::cerr);
}
#endif
