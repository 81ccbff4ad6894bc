// zendra-pack: packages a launcher executable with its configuration record.
#include <iostream>
#include <string>
#include <vector>

#include "pack_cli.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return zendra::pack::runPackTool(args, std::cout, std::cerr);
}
