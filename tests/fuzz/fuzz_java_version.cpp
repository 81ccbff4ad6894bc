// libFuzzer target for the "-version" output of a runtime and the version rules. The input's
// parts are three version texts (one a line), a minimum and a maximum (one a line), and the
// output a runtime prints. Properties: the version order is a total preorder; a version
// ordered at or above the minimum (at or below the maximum) passes that bound, and passing
// is monotone in the order; every family key of a version in range passes the key test;
// the version taken from an output is a quote-free piece of one line, its range check is the
// check's result, and the version cache gives back the same version and result; a version
// line behind notes such as "Picked up JAVA_TOOL_OPTIONS" yields exactly its version.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "fake_platform.h"
#include "fuzz_support.h"
#include "java_check.h"
#include "version_rules.h"

namespace {

using zendra::VersionRange;
using zendra::fuzz::check;

constexpr const char* kJavaExe = "c:\\jre\\bin\\java.exe";

int sign(int value) { return (value > 0) - (value < 0); }

bool isDigit(char c) { return c >= '0' && c <= '9'; }

void checkOrder(const std::vector<std::string>& v) {
    for (const std::string& a : v) {
        check(zendra::compareVersionTexts(a, a) == 0, "a version equals itself");
        for (const std::string& b : v) {
            const int ab = zendra::compareVersionTexts(a, b);
            check(sign(ab) == -sign(zendra::compareVersionTexts(b, a)), "the order is antisymmetric");
            for (const std::string& c : v)
                if (ab <= 0 && zendra::compareVersionTexts(b, c) <= 0)
                    check(zendra::compareVersionTexts(a, c) <= 0, "the order is transitive");
        }
    }
}

// A launcher over fake services, with a runtime at c:\jre that prints output for "-version".
struct Fixture {
    explicit Fixture(const std::string& output) {
        sys.fs.addDirectory("c:\\app");
        sys.fs.addDirectory("c:\\tmp");
        sys.env.vars["TMP"] = "c:\\tmp";
        sys.fs.addFile(kJavaExe, "MZ");
        zendra::test::FakeProcess::Script script;
        script.stderrText = output;
        sys.process.scripts[kJavaExe] = script;
    }
    bool check(std::string& version, const VersionRange& range, bool useCache) {
        std::string javaExe = kJavaExe;
        return zendra::checkJavaExeWithCache(l, javaExe, version, range, true, useCache);
    }
    zendra::test::FakeSystem sys;
    zendra::Launcher l{sys.platform, zendra::LauncherKind::App};
};

void checkBounds(zendra::Launcher& l, const std::vector<std::string>& v, const VersionRange& range) {
    const VersionRange minOnly{range.minimum, ""};
    const VersionRange maxOnly{"", range.maximum};
    for (const std::string& a : v) {
        const bool passesMin = zendra::versionInRange(l, a, minOnly, true);
        const bool passesMax = zendra::versionInRange(l, a, maxOnly, true);
        if (zendra::compareVersionTexts(a, range.minimum) >= 0) check(passesMin, "a version above the minimum passes it");
        if (zendra::compareVersionTexts(a, range.maximum) <= 0) check(passesMax, "a version below the maximum passes it");
        for (const std::string& b : v) {
            if (zendra::compareVersionTexts(a, b) > 0) continue;
            if (passesMin) check(zendra::versionInRange(l, b, minOnly, true), "a later version passes the minimum too");
            if (zendra::versionInRange(l, b, maxOnly, true)) check(passesMax, "an earlier version passes the maximum too");
        }
        if (!passesMin || !passesMax) continue;
        for (std::size_t cut = 1; cut <= a.size(); ++cut) {
            if (cut < a.size() && isDigit(a[cut - 1]) && isDigit(a[cut])) continue;  // inside a number
            check(zendra::keyNameInRange(a.substr(0, cut), range), "the family keys of a version in range pass");
        }
    }
}

void checkOutput(const std::string& output, const VersionRange& range) {
    Fixture f(output);
    std::string version;
    const bool accepted = f.check(version, range, false);
    if (version.empty()) {
        check(!accepted, "a runtime without a version is refused");
        return;
    }
    check(version.find('"') == std::string::npos && version.find('\n') == std::string::npos,
          "a version holds no quote and no line end");
    check(output.find(version) != std::string::npos, "the version is a piece of the output");
    check(accepted == zendra::versionInRange(f.l, version, range, true), "the check is the range check of the version");
    const std::size_t runs = f.sys.process.hiddenRuns.size();
    std::string cached;
    check(f.check(cached, range, true) == accepted && cached == version, "the cache gives back the same version");
    if (version != "1.0.0") check(f.sys.process.hiddenRuns.size() == runs, "a cached version is not run again");
}

// A version line of a present-day runtime behind the notes runtimes print first.
void checkVersionBehindNotes(std::string version, const VersionRange& range) {
    version.erase(std::remove_if(version.begin(), version.end(), [](char c) { return c == '"' || c == '\n'; }),
                  version.end());
    version.resize(std::min({version.size(), version.find('\0'), std::size_t{80}}));
    if (version.empty()) return;
    Fixture f("Picked up JAVA_TOOL_OPTIONS: -Dfile.encoding=UTF-8\r\nNOTE: openjdk version \"0\"\r\n"
              "openjdk version \"" + version + "\" 2021-10-19 LTS\r\nOpenJDK Runtime Environment\r\n");
    std::string found;
    f.check(found, range, true);
    check(found == version, "the version line behind notes gives its version");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> part = zendra::fuzz::parts(data, size, 3);
    std::vector<std::string> versions = zendra::fuzz::lines(part[0]);
    versions.resize(3);
    std::vector<std::string> bounds = zendra::fuzz::lines(part[1]);
    bounds.resize(2);
    const VersionRange range{bounds[0], bounds[1]};
    checkOrder(versions);
    {
        zendra::test::FakeSystem sys;
        zendra::Launcher l{sys.platform, zendra::LauncherKind::App};
        checkBounds(l, versions, range);
    }
    checkOutput(part[2], range);
    checkVersionBehindNotes(zendra::fuzz::lines(part[2]).empty() ? "" : zendra::fuzz::lines(part[2]).front(), range);
    return 0;
}
