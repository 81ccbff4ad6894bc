#include "entry.h"

namespace zendra {

int appLauncherMain(Platform&, const std::u16string&, const std::string&) { return 0; }
int serviceLauncherMain(Platform&, const std::u16string&, const std::string&) { return 0; }
int setupLauncherMain(Platform&, const std::u16string&, const std::string&) { return 0; }

}  // namespace zendra
