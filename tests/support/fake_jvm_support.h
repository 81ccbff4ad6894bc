// Fake Java runtimes for the runtime-search tests: files, scripted "-version" runs, VM libraries.
#pragma once

#include <algorithm>
#include <utility>
#include <cstdint>
#include <string>
#include <vector>

#include "fake_platform.h"
#include "launcher.h"

namespace zendra::test {

// What a fake runtime holds and how its java.exe answers "-version".
struct FakeJre {
    std::string version = "1.8.0_202";
    bool javaw = true;             // bin\javaw.exe beside bin\java.exe
    std::string vmDir = "server";  // bin\<vmDir>\jvm.dll with JNI_CreateJavaVM; none when empty
    std::uint32_t exitCode = 0;
    bool hangs = false;

    FakeJre& withVersion(std::string text) { version = std::move(text); return *this; }
    FakeJre& withoutJavaw() { javaw = false; return *this; }
    FakeJre& withVmDir(std::string dir) { vmDir = std::move(dir); return *this; }
    FakeJre& withExitCode(std::uint32_t code) { exitCode = code; return *this; }
    FakeJre& hanging() { hangs = true; return *this; }
};

// ASCII lower case, as the fakes key their maps.
inline std::string lowerAscii(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
    return text;
}

// The export every fake VM library offers.
inline void* fakeCreateJavaVm() {
    static int entry = 0;
    return &entry;
}

// Scripts the "-version" run of a java.exe.
inline void scriptJava(FakeSystem& sys, const std::string& javaExe, const std::string& stderrText,
                       std::uint32_t exitCode = 0, bool hangs = false) {
    FakeProcess::Script script;
    script.stderrText = stderrText;
    script.exitCode = exitCode;
    script.hangs = hangs;
    sys.process.scripts[lowerAscii(javaExe)] = script;
}

// Installs a runtime below home; returns the lower-case path of its java.exe.
inline std::string addJre(FakeSystem& sys, const std::string& home, const FakeJre& jre = {}) {
    const std::string bin = lowerAscii(home + "\\bin");
    sys.fs.addFile(bin + "\\java.exe", "MZ");
    if (jre.javaw) sys.fs.addFile(bin + "\\javaw.exe", "MZ");
    if (!jre.vmDir.empty()) {
        sys.fs.addFile(bin + "\\" + jre.vmDir + "\\jvm.dll", "MZ");
        sys.libraries.libraries[bin + "\\" + jre.vmDir + "\\jvm.dll"].exports["JNI_CreateJavaVM"] = fakeCreateJavaVm();
    }
    scriptJava(sys, bin + "\\java.exe", "java version \"" + jre.version + "\"\r\nJava(TM) SE Runtime\r\n",
               jre.exitCode, jre.hangs);
    return bin + "\\java.exe";
}

// Turns the diagnostic log on (before the launcher writes its first line).
inline void enableLog(FakeSystem& sys) { sys.env.vars["ZENDRA_LOG"] = "yes"; }

// The lines of the diagnostic log written so far.
inline std::vector<std::string> logLines(FakeSystem& sys, Launcher& l) {
    std::vector<std::string> lines;
    auto path = l.log.getLogFilePath();
    if (!path) return lines;
    const std::string text = sys.fs.content(*path);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// Whether the expected lines appear in the log in this order (other lines may lie between).
inline bool logHasInOrder(FakeSystem& sys, Launcher& l, const std::vector<std::string>& expected) {
    const auto lines = logLines(sys, l);
    auto at = lines.begin();
    for (const auto& want : expected) {
        at = std::find(at, lines.end(), want);
        if (at == lines.end()) return false;
        ++at;
    }
    return true;
}

// How many log lines equal text.
inline long logCount(FakeSystem& sys, Launcher& l, const std::string& text) {
    const auto lines = logLines(sys, l);
    return std::count(lines.begin(), lines.end(), text);
}

// The texts of the shown error boxes, without the appended log path.
inline std::vector<std::string> shownTexts(FakeSystem& sys) {
    std::vector<std::string> texts;
    for (const auto& box : sys.ui.boxes) {
        std::string text = narrow(box.text);
        texts.push_back(text.substr(0, text.find("\n\nLog: ")));
    }
    return texts;
}

}  // namespace zendra::test
