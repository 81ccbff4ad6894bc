// The command line of zendra-pack.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace zendra::pack {

// Runs the tool on its arguments (without the program name) and returns the exit code:
// 0 success, 1 refused or failed (one line on err), 2 bad usage.
int runPackTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The text printed by --help, with an example description.
std::string usageText();

}  // namespace zendra::pack
