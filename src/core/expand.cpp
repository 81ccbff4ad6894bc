#include "expand.h"

#include <string_view>

#include "paths.h"
#include "text.h"

namespace zendra {
namespace {

// What a fixed pattern stands for.
enum class Source { ExecutableDir, LauncherTempDir, Separator, JvmHome, SystemTempDir };

struct FixedPattern {
    const char* text;
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

// Most replacements in one expansion: references that multiply through each other's values
// would otherwise cost time and log lines without end.
constexpr int kMaxReplacements = 1024;

// How much of a value or text a log line shows.
constexpr std::size_t kLoggedChars = 160;

// What one expansion may still do.
struct Budget {
    int replacements = kMaxReplacements;
    bool exhaustedLogged = false;
};

// A text for a log line: up to kLoggedChars characters, "..." marking a cut.
std::string excerpt(const std::string& text) {
    if (text.size() <= kLoggedChars) return text;
    return concat({std::string_view(text).substr(0, kLoggedChars), "..."});
}

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

// Replaces every occurrence, continuing behind each inserted value, logging each step. The
// text is rebuilt once per pattern, so the cost grows with its length, not with its square.
void replaceAll(Launcher& l, std::string& text, const std::string& pattern, const std::string& value, Budget& budget) {
    std::size_t pos = text.find(pattern);
    if (pos == std::string::npos) return;
    std::string result;
    std::size_t copied = 0;
    for (; pos != std::string::npos; pos = text.find(pattern, pos + pattern.size())) {
        if (budget.replacements == 0) {
            if (!budget.exhaustedLogged)
                l.log.error("not expanding %s: more than %d replacements", pattern.c_str(), kMaxReplacements);
            budget.exhaustedLogged = true;
            break;
        }
        if (text.size() - copied + result.size() - pattern.size() + value.size() > kMaxExpandedLength) {
            l.log.error("not expanding %s: the text would exceed %d bytes", pattern.c_str(),
                        static_cast<int>(kMaxExpandedLength));
            break;
        }
        --budget.replacements;
        result.append(text, copied, pos - copied).append(value);
        copied = pos + pattern.size();
        // The text so far with what follows it, enough of it for the log line.
        std::string shown = result.substr(0, kLoggedChars + 1);
        if (result.size() <= kLoggedChars) shown.append(text, copied, kLoggedChars + 1);
        l.log.message("expanding %s to %s in %s.", pattern.c_str(), excerpt(value).c_str(), excerpt(shown).c_str());
    }
    text = result.append(text, copied, std::string::npos);
}

std::string upperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

}  // namespace

void expandVariables(Launcher& l, std::string& text) {
    Budget budget;
    for (const FixedPattern& fixed : kFixedPatterns) {
        // Values are looked up only when needed: the system temporary directory is probed
        // (and possibly created) anew for each text that refers to it.
        if (text.find(fixed.text) == std::string::npos) continue;
        replaceAll(l, text, fixed.text, valueOf(l, fixed.source), budget);
    }
    for (const auto& [name, value] : l.os.env.block()) {
        if (name.empty()) continue;
        const std::string exact = concat({"${", name, "}"});
        replaceAll(l, text, exact, value, budget);
        const std::string upper = upperAscii(exact);
        // Searching an already upper-case name again would only find it inside inserted values.
        if (upper != exact) replaceAll(l, text, upper, value, budget);
    }
}

}  // namespace zendra
