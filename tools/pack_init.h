// The starting description that zendra-pack --init writes for a new application.
#pragma once

#include <string>

namespace zendra::pack {

// A description for an application named name with the settings people change first (name,
// class path, main class, version range, search sequence, splash, single instance, error
// texts), which packs as it is: the class path names <slug>.jar beside the executable and the
// main class com.example.<slug>.Main, slug being the name's ASCII letters and digits in lower
// case ("app" when it has none). Its code page is the first ANSI one that holds the name.
// Throws PackError for an empty name.
std::string initialDescription(const std::string& name);

}  // namespace zendra::pack
