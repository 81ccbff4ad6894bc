// What the driver sets up and the tests expect: the fixed facts of the simulated launcher
// installation (8-bit texts are UTF-8, the code page the driver's codec and the VM share).
#pragma once

#include <cstdint>

namespace zendra::jvmtest {

// The launcher executable as the fake system names it, and its directory.
inline constexpr const char* kExecutable = "c:\\Program Files\\Zëndra Täst\\launcher.exe";
inline constexpr const char16_t* kExecutableW = u"c:\\Program Files\\Zëndra Täst\\launcher.exe";
inline constexpr const char* kExecutableDir = "c:\\Program Files\\Zëndra Täst";

// The per-run directory, the system temporary directory and PATH before the launcher adds to it.
inline constexpr const char* kLauncherTempDir = "c:\\temp\\znd1.tmp_dir1700000000";
inline constexpr const char* kSystemTempDir = "c:\\temp";
inline constexpr const char* kHostPath = "/usr/bin:/bin";

// The runtime the search is given; its bin\server\jvm.dll is the real libjvm.so.
inline constexpr const char* kJavaExe = "c:\\jdk17\\bin\\java.exe";
inline constexpr const char* kJavaBin = "c:\\jdk17\\bin";

// Process facts handed to the launch.
inline constexpr std::uint32_t kProcessId = 4711;
inline constexpr std::uint32_t kConsoleCodePage = 65001;
inline constexpr std::uint32_t kUnextractedPosition = 4242;
inline constexpr const char* kSemaphoreName = "Local\\zendra semaphore ü";

// Error texts of the configuration.
inline constexpr const char* kTextVmStart = "The Java VM could not be started.";
inline constexpr const char* kTextInternal = "Internal error {0}.";
inline constexpr const char* kTextMainClass = "The launcher class is missing.";
inline constexpr const char* kTextMainMethod = "The launcher class has no main method.";

// Environment variables of the driver process: where the Java classes record what they saw,
// and where the driver copies the launcher's diagnostic log.
inline constexpr const char* kRecordVariable = "ZENDRA_TEST_RECORD";
inline constexpr const char* kLogVariable = "ZENDRA_TEST_LOG";

}  // namespace zendra::jvmtest
