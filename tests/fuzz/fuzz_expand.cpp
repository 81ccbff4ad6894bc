// libFuzzer target for variable expansion. The input holds an environment block (one
// NAME=VALUE per line; names are reduced to letters, digits and "_") and two texts.
// Properties: a text without "%" or "${" is left alone; a text never grows past the
// expansion bound; expanding two texts joined by a character no pattern holds gives the two
// expansions joined (unless a bound was reached); a variable referenced by its exact or its
// upper-case spelling becomes its value.
#include <cstddef>
#include <cstdint>
#include <string>

#include "expand.h"
#include "fake_platform.h"
#include "fuzz_support.h"

namespace {

using zendra::fuzz::check;

// Longest text expansion produces (the bound of the expansion itself).
constexpr std::size_t kExpandedBound = 1u << 20;

// A character that no pattern can contain: names hold only letters, digits and "_".
constexpr char kJoint = '\x01';

std::string nameOf(std::string name) {
    for (char& c : name) {
        const bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (!plain) c = '_';
    }
    return name;
}

std::string upperAscii(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

// A launcher over fake services with the environment of the input and its diagnostic log on.
struct Fixture {
    explicit Fixture(const std::string& block) {
        sys.fs.addFile("c:\\app\\launcher.exe", "");
        sys.fs.addDirectory("c:\\tmp");
        for (const std::string& line : zendra::fuzz::lines(block)) {
            const std::size_t eq = line.find('=');
            if (eq == 0 || eq == std::string::npos) continue;
            sys.env.vars[nameOf(line.substr(0, eq))] = line.substr(eq + 1);
        }
        sys.env.vars["TMP"] = "c:\\tmp";
        sys.env.vars["ZENDRA_LOG"] = "yes";
        l.launcherTempDir = "c:\\tmp\\znd1";
        l.jvmHome = "c:\\jre\\bin\\..";
    }
    // The expansion of text, and whether it stopped at one of its bounds.
    std::string expand(std::string text, bool& bounded) {
        const std::string before = logText();
        zendra::expandVariables(l, text);
        bounded = logText().find("ERROR: not expanding", before.size()) != std::string::npos;
        return text;
    }
    std::string logText() { return sys.fs.content(l.log.getLogFilePath().value_or("")); }

    zendra::test::FakeSystem sys;
    zendra::Launcher l{sys.platform, zendra::LauncherKind::App};
};

void checkJoinedTexts(Fixture& f, const std::string& a, const std::string& b) {
    bool boundedA = false, boundedB = false, boundedJoined = false;
    const std::string expandedA = f.expand(a, boundedA);
    const std::string expandedB = f.expand(b, boundedB);
    const std::string joined = f.expand(a + kJoint + b, boundedJoined);
    check(expandedA.size() <= std::max(a.size(), kExpandedBound), "expansion stays within its bound");
    if (a.find('%') == std::string::npos && a.find("${") == std::string::npos)
        check(expandedA == a, "a text without references is unchanged");
    if (!boundedA && !boundedB && !boundedJoined)
        check(joined == expandedA + kJoint + expandedB, "expansion works on each part of a text alone");
}

// The first variable of the block (no other one can match its references first).
void checkFirstVariable(Fixture& f) {
    const auto block = f.sys.env.block();
    if (block.empty()) return;
    const auto& [name, value] = block.front();
    const std::string upper = upperAscii(name);
    if (upper.starts_with("ZENDRA_") || upper.starts_with("QUILLON_")) return;  // the launcher's own names
    if (value.find("${") != std::string::npos) return;  // its value holds references of its own
    bool bounded = false;
    check(f.expand("${" + name + "}", bounded) == value, "an exact reference becomes the value");
    check(f.expand("${" + upper + "}", bounded) == value, "an upper-case reference becomes the value");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> part = zendra::fuzz::parts(data, size, 3);
    Fixture f(part[0]);
    checkJoinedTexts(f, part[1], part[2]);
    checkFirstVariable(f);
    return 0;
}
