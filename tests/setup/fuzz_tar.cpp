// libFuzzer target for the runtime archive's unpacking: arbitrary bytes (a gzip stream, or a
// plain one) are unpacked into c:\work\jre of the fake file system. Nothing may crash, and
// nothing may be written outside that directory.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "fake_platform.h"
#include "jre_archive.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    zendra::test::FakeSystem sys;
    sys.fs.addDirectory("c:\\work\\jre");
    sys.fs.addFile("c:\\work\\jre.tar.gz", std::vector<std::uint8_t>(data, data + size));
    zendra::Launcher l(sys.platform, zendra::LauncherKind::App);  // no log: faster runs
    try {
        zendra::setup::untarGz(l, "c:\\work\\jre.tar.gz", "c:\\work\\jre", nullptr, 1 << 20);
    } catch (const zendra::test::FakeExit&) {
        // a file that cannot be created ends the run
    }
    const std::optional<std::string> log = l.log.getLogFilePath();
    for (const std::string& path : sys.fs.allPaths()) {
        const bool inside = path.rfind("c:\\work\\jre", 0) == 0 || path == "c:\\work" || (log && path == *log);
        if (!inside) __builtin_trap();
    }
    return 0;
}
