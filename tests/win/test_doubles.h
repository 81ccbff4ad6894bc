// Access to the test doubles (java.exe, jvm.dll) that CTest names in the environment.
#pragma once

#include <string>

namespace zendra::win::test {

// The Windows path of the double named by an environment variable such as ZENDRA_JVM_DOUBLE
// (a Unix path from CTest becomes a Z: path); empty when the variable is unset.
std::string doublePath(const char* variable);

// Copies the java.exe double to dir\name and writes its java-double.cfg there; returns the
// copy's path, or an empty string when the double is missing or cannot be copied.
std::string installJavaDouble(const std::string& dir, const std::string& name, const std::string& cfg);

}  // namespace zendra::win::test
