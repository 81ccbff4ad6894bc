// libFuzzer target for option files with includes, over the fake file system. The input's
// parts are two texts X and Y, the files a.vmoptions and sub\b.vmoptions beside the
// launcher, the VM options of property 123 and a command line with "-J" arguments.
// Properties: the default file X + LF + Y gives the same options as X followed by a line that
// includes a file holding Y (unless a bound or a cycle cut either reading); no option that
// reaches the VM is an include or class path option; file options are single trimmed lines;
// nothing of an include chain is left behind.
#include <cstddef>
#include <cstdint>
#include <string>

#include "command_line.h"
#include "fake_platform.h"
#include "fuzz_support.h"
#include "property_ids.h"
#include "vm_options.h"

namespace {

using zendra::OptionSink;
using zendra::fuzz::check;

enum Part { kX, kY, kFileA, kFileB, kProperty, kCommandLine, kPartCount };

// A launcher in c:\app over fake services, with the option files of the input and its
// diagnostic log on.
struct Fixture {
    Fixture(const std::vector<std::string>& part, const std::string& defaultFile) {
        sys.fs.addFile("c:\\app\\launcher.exe", "");
        sys.fs.addDirectory("c:\\app\\sub");
        sys.fs.addDirectory("c:\\tmp");
        sys.fs.addFile("c:\\app\\launcher.vmoptions", defaultFile);
        sys.fs.addFile("c:\\app\\y.vmoptions", part[kY]);
        sys.fs.addFile("c:\\app\\a.vmoptions", part[kFileA]);
        sys.fs.addFile("c:\\app\\sub\\b.vmoptions", part[kFileB]);
        sys.env.vars = {{"TMP", "c:\\tmp"}, {"ZENDRA_LOG", "yes"}, {"Heap", "-Xmx1g"}, {"SUB", "sub"}};
        l.launcherTempDir = "c:\\tmp\\znd1";
        l.jvmHome = "c:\\jre\\bin\\..";
    }
    OptionSink readDefault() {
        OptionSink sink;
        zendra::readDefaultOptionFile(l, sink);
        check(sink.includeChain.empty(), "the include chain is empty after reading");
        return sink;
    }
    bool logHasErrors() { return sys.fs.content(l.log.getLogFilePath().value_or("")).find("ERROR: ") != std::string::npos; }

    zendra::test::FakeSystem sys;
    zendra::Launcher l{sys.platform, zendra::LauncherKind::App};
};

bool startsWith(const std::string& text, std::string_view prefix) { return text.compare(0, prefix.size(), prefix) == 0; }

void checkRouted(const OptionSink& sink) {
    for (const std::string& option : sink.vmOptions) {
        for (std::string_view prefix : {"-include-options ", "-classpath ", "-classpath/p ", "-classpath/a "})
            check(!startsWith(option, prefix), "include and class path options do not reach the VM");
    }
}

// Options of option-file lines: one trimmed, non-comment line each (the environment's values
// and the launcher's directories neither start nor end with blanks).
void checkFileOptions(const OptionSink& sink) {
    checkRouted(sink);
    for (const std::string& option : sink.vmOptions) {
        check(!option.empty(), "a file option is not empty");
        check(option.find('\n') == std::string::npos && option.find('\0') == std::string::npos,
              "a file option is one line");
        check(option.front() != ' ' && option.front() != '\t' && option.back() != ' ' && option.back() != '\t',
              "a file option is trimmed");
        check(option.front() != '#', "a comment line is no option");
    }
}

// Encoding marks make a file's text differ from the same bytes in the middle of another file.
bool hasEncodingMark(const std::string& text) {
    return !text.empty() && (text[0] == '\xEF' || text[0] == '\xFF' || text[0] == '\xFE');
}

bool sameOptions(const OptionSink& a, const OptionSink& b) {
    return a.vmOptions == b.vmOptions && a.classpathOverride == b.classpathOverride &&
           a.classpathPrepend == b.classpathPrepend && a.classpathAppend == b.classpathAppend;
}

void checkConfigured(const std::vector<std::string>& part) {
    Fixture f(part, part[kX]);
    f.l.store.setProperty(zendra::prop::vmOptions, part[kProperty]);
    f.l.store.setProperty(zendra::prop::acceptJavaArguments, "1");
    zendra::ArgumentList arguments;
    zendra::splitCommandLine(std::u16string(part[kCommandLine].begin(), part[kCommandLine].end()), arguments);
    OptionSink sink;
    zendra::addConfiguredOptions(f.l, arguments, sink);
    check(sink.includeChain.empty(), "the include chain is empty after the configured options");
    checkRouted(sink);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string> part = zendra::fuzz::parts(data, size, kPartCount);
    Fixture inline_(part, part[kX] + "\n" + part[kY]);
    const OptionSink inlined = inline_.readDefault();
    checkFileOptions(inlined);
    Fixture included(part, part[kX] + "\n-include-options y.vmoptions");
    const OptionSink viaInclude = included.readDefault();
    checkFileOptions(viaInclude);
    if (!hasEncodingMark(part[kX]) && !hasEncodingMark(part[kY]) && !inline_.logHasErrors() &&
        !included.logHasErrors())
        check(sameOptions(inlined, viaInclude), "an included file's options take the include's place");
    checkConfigured(part);
    return 0;
}
