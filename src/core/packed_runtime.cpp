#include "packed_runtime.h"

#include <limits>

#include "errors.h"
#include "java_runtime.h"
#include "paths.h"
#include "property_ids.h"
#include "text.h"

namespace zendra {
namespace {

constexpr std::uint32_t kNoTimeout = std::numeric_limits<std::uint32_t>::max();
constexpr std::size_t kPackSuffixLength = 5;  // ".pack"

}  // namespace

bool unpackJars(Launcher& l, const std::string& dir) {
    if (!pathExists(l, formatText("%s\\lib\\rt.jar.pack", dir.c_str()))) return true;
    if (pathExists(l, formatText("%s\\lib\\jsse.jar", dir.c_str()))) return true;
    l.log.message("Unpacking JRE");
    l.os.ui.writeStdout("Preparing JRE ...\n");
    for (std::string_view jar : kPackedJars) {
        const std::string packFile = formatText("%s\\%.*s.pack", dir.c_str(), static_cast<int>(jar.size()), jar.data());
        if (!tryUnpack200(l, dir, packFile)) return false;
    }
    l.log.message("Unpacking JRE done");
    return true;
}

void runUnpack200(Launcher& l, const std::string& javaHome, const std::string& packFile) {
    if (!tryUnpack200(l, javaHome, packFile)) fatalPropertyWithArgument(l, prop::errorInternal, "20");
}

bool tryUnpack200(Launcher& l, const std::string& javaHome, const std::string& packFile) {
    if (!pathExists(l, packFile)) {
        l.log.message("pack path doesn't exists");
        return true;
    }
    const int targetLength = static_cast<int>(packFile.size() - std::min(packFile.size(), kPackSuffixLength));
    const std::string program = formatText("%s\\bin\\unpack200.exe", javaHome.c_str());
    const std::string arguments =
        formatText("-r \"%s\" \"%.*s\"", packFile.c_str(), targetLength, packFile.c_str());
    l.log.message("%s", program.c_str());
    l.log.message("%s", arguments.c_str());
    // The program leads the command line, so that the unpacker sees "-r" as an option and not
    // as its own name.
    const ChildRun run =
        l.os.process.runHidden(concat({"\"", program, "\" ", arguments}), std::nullopt, kNoTimeout);
    if (!run.started) {
        l.log.message("could not create unpack process");
        return false;
    }
    l.log.message("waiting for unpack200 to finish");
    l.log.message("unpack done");
    std::uint32_t error = 0;
    if (!l.os.fs.deleteFileWithError(packFile, error) && pathExists(l, packFile))
        l.log.message("could not delete packed file (error %d)", static_cast<int>(error));
    return true;
}

}  // namespace zendra
