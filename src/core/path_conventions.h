// How paths, lists and runtime files are spelled on the system the launcher runs on.
// The record keeps one format for every system (";"-separated lists, "\\" or "/" in paths);
// everything the launcher hands to the file system, the OS environment or the Java runtime
// uses the forms below. This is the one place where the Windows and the Linux forms differ.
#pragma once

#include <string>
#include <string_view>

namespace zendra {

// The spelling of paths and runtime files on one system.
struct PathConventions {
    bool windows;                           // drive letters, UNC roots, 8.3 names, ".exe" programs
    char separator;                         // between directory names: '\\' or '/'
    char listSeparator;                     // between entries of a path list: ';' or ':'
    std::string_view executableSuffix;      // ".exe" or ""
    std::string_view javaProgram;           // the runtime's console program in bin
    std::string_view windowedJavaProgram;   // the runtime's windowed program in bin
    std::string_view vmLibrary;             // the VM library's file name
    std::string_view nativePathVariable;    // the variable the system loads native libraries along
    std::string_view defaultTempDirectory;  // the last-resort directory for temporary files
};

// Windows: "C:\\dir\\file", "a;b", java.exe/javaw.exe, jvm.dll in bin\\<vm type>, PATH.
inline constexpr PathConventions kWindowsConventions{
    true, '\\', ';', ".exe", "java.exe", "javaw.exe", "jvm.dll", "PATH", "c:\\"};

// Linux: "/dir/file", "a:b", java (no windowed program), libjvm.so in lib/<vm type>, LD_LIBRARY_PATH.
inline constexpr PathConventions kPosixConventions{
    false, '/', ':', "", "java", "java", "libjvm.so", "LD_LIBRARY_PATH", "/tmp/"};

// A path from the record or the user with both separators turned into the system's one.
std::string toNativeSeparators(const PathConventions& conventions, std::string path);

// Whether c separates directory names on this system (Windows accepts both slashes).
bool isSeparator(const PathConventions& conventions, char c);

// The directory part of a path up to and including its last separator ("" without one).
std::string directoryPart(const PathConventions& conventions, const std::string& path);

// dir with one separator at its end.
std::string withTrailingSeparator(const PathConventions& conventions, std::string dir);

// dir + separator + name, without doubling a separator dir ends with.
std::string joinPath(const PathConventions& conventions, const std::string& dir, const std::string& name);

// The machine directory name of the older Linux runtime layouts ("amd64", "aarch64", ...).
std::string_view posixRuntimeArchitecture();

// The directories Java itself searches for native libraries on Linux after LD_LIBRARY_PATH.
inline constexpr std::string_view kPosixSystemLibraryPath = "/usr/java/packages/lib:/usr/lib64:/lib64:/lib:/usr/lib";

}  // namespace zendra
