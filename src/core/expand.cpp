#include "expand.h"

#include <string_view>

#include "paths.h"

namespace zendra {
namespace {

// What a fixed pattern stands for.
enum class Source { ExecutableDir, LauncherTempDir, Separator, JvmHome, SystemTempDir };

struct FixedPattern {
    std::string_view text;
    Source source;
};

// The launcher's own variables, in the order they are replaced.
constexpr FixedPattern kFixedPatterns[] = {
    {"%ZENDRA_EXEDIR%", Source::ExecutableDir},
    {"%QUILLON_EXEDIR%", Source::ExecutableDir},
    {"%ZENDRA_TEMPDIR%", Source::LauncherTempDir},
    {"%QUILLON_TEMPDIR%", Source::LauncherTempDir},
    {"%ZENDRA_PATHLIST_SEPARATOR%", Source::Separator},
    {"%QUILLON_PATHLIST_SEPARATOR%", Source::Separator},
    {"%ZENDRA_JVM_HOME%", Source::JvmHome},
    {"%QUILLON_JVM_HOME%", Source::JvmHome},
    {"${ZENDRA_EXEDIR}", Source::ExecutableDir},
    {"${QUILLON_EXEDIR}", Source::ExecutableDir},
    {"${ZENDRA_TEMPDIR}", Source::LauncherTempDir},
    {"${QUILLON_TEMPDIR}", Source::LauncherTempDir},
    {"${ZENDRA_PATHLIST_SEPARATOR}", Source::Separator},
    {"${QUILLON_PATHLIST_SEPARATOR}", Source::Separator},
    {"${ZENDRA_JVM_HOME}", Source::JvmHome},
    {"${QUILLON_JVM_HOME}", Source::JvmHome},
    {"${launcher:sys.launcherDirectory}", Source::ExecutableDir},
    {"${launcher:sys.launcherTempDirectory}", Source::LauncherTempDir},
    {"${launcher:sys.pathlistSeparator}", Source::Separator},
    {"${launcher:sys.jvmHome}", Source::JvmHome},
    {"${launcher:sys.tempDir}", Source::SystemTempDir},
};

// Expansion stops growing a text beyond this size; environment values that reference each
// other could otherwise double it with every variable.
constexpr std::size_t kMaxExpandedLength = 1u << 20;

std::string valueOf(Launcher& l, Source source) {
    switch (source) {
    case Source::ExecutableDir: return getExecutableDirectory(l);
    case Source::LauncherTempDir: return l.launcherTempDir;
    case Source::Separator: return std::string(1, l.os.paths().listSeparator);
    case Source::JvmHome: return l.jvmHome;
    case Source::SystemTempDir: return getTempDirectory(l);
    }
    return {};
}

// Replaces every occurrence, continuing behind each inserted value, logging each step.
void replaceAll(Launcher& l, std::string& text, const std::string& pattern, const std::string& value) {
    std::size_t pos = text.find(pattern);
    while (pos != std::string::npos) {
        if (text.size() - pattern.size() + value.size() > kMaxExpandedLength) {
            l.log.error("not expanding %s: the text would exceed %d bytes", pattern.c_str(),
                        static_cast<int>(kMaxExpandedLength));
            return;
        }
        text.replace(pos, pattern.size(), value);
        l.log.message("expanding %s to %s in %s.", pattern.c_str(), value.c_str(), text.c_str());
        pos = text.find(pattern, pos + value.size());
    }
}

std::string upperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

}  // namespace

void expandVariables(Launcher& l, std::string& text) {
    for (const FixedPattern& fixed : kFixedPatterns) {
        const std::string pattern(fixed.text);
        // Values are looked up only when needed: the system temporary directory is probed
        // (and possibly created) anew for each text that refers to it.
        if (text.find(pattern) == std::string::npos) continue;
        replaceAll(l, text, pattern, valueOf(l, fixed.source));
    }
    for (const auto& [name, value] : l.os.env.block()) {
        if (name.empty()) continue;
        const std::string exact = "${" + name + "}";
        replaceAll(l, text, exact, value);
        const std::string upper = upperAscii(exact);
        // Searching an already upper-case name again would only find it inside inserted values.
        if (upper != exact) replaceAll(l, text, upper, value);
    }
}

}  // namespace zendra
