#include "test_doubles.h"

#include <cstdlib>

#include "test_directory.h"
#include "win32.h"

namespace zendra::win::test {

std::string doublePath(const char* variable) {
    const char* value = std::getenv(variable);
    if (value == nullptr) return {};
    std::string path = value;
    // Wine shows the Unix root as drive Z:.
    if (!path.empty() && path.front() == '/') path = "Z:" + path;
    for (char& c : path) {
        if (c == '/') c = '\\';
    }
    return path;
}

std::string installJavaDouble(const std::string& dir, const std::string& name, const std::string& cfg) {
    const std::string source = doublePath("ZENDRA_JAVA_DOUBLE");
    const std::string target = dir + "\\" + name;
    if (source.empty() || !::CopyFileA(source.c_str(), target.c_str(), FALSE)) return {};
    writeRawFile(dir + "\\java-double.cfg", cfg);
    return target;
}

}  // namespace zendra::win::test
