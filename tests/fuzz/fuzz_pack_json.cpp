// libFuzzer target for the packaging tool's description reader, run as a user runs the tool:
// the input is a description, packed onto a PE and onto an ELF launcher, dumped with
// --extract-dir and packed again from the dump. Properties: every refusal is exit code 1; a
// package whose included-file properties the tool wrote itself dumps; a dump that reads the
// whole file packs back to the same bytes and dumps to the same text.
#include <signal.h>
#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>

#include "fuzz_support.h"
#include "launcher_image.h"
#include "pack_cli.h"
#include "pack_json.h"
#include "property_ids.h"
#include "record_test_support.h"

namespace {

namespace fs = std::filesystem;
using zendra::fuzz::check;
using zendra::pack::Json;

// The work directory of this run: the description, the launchers, packed files and dumps.
constexpr std::string_view kWorkPrefix = "zendra-fuzz-pack-";
fs::path workDir;

std::string readAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void writeAll(const fs::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

struct Run {
    int code;
    std::string err;
};

Run tool(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int code = zendra::pack::runPackTool(args, out, err);
    check(code == 0 || code == 1, "the tool ends with 0 or 1");
    return {code, err.str()};
}

std::string at(const char* name) { return (workDir / name).string(); }

// Files named by the description must be plain names in the work directory: the fuzzer must
// not read devices or whatever else a path could reach.
bool namesOnlyWorkFiles(const Json& root) {
    auto plain = [](const Json& path) {
        if (!path.is_string()) return true;
        const std::string& text = path.get_ref<const std::string&>();
        return text == "data.bin" || text == "launcher.exe";
    };
    if (root.contains("resources") && root["resources"].is_object())
        for (const auto& item : root["resources"].items())
            if (!plain(item.value())) return false;
    if (root.contains("files") && root["files"].is_array())
        for (const Json& file : root["files"])
            if (file.is_object() && file.contains("source") && !plain(file["source"])) return false;
    return true;
}

// Whether the description sets the included-file properties itself (then they may disagree
// with the files, and the dump may rightly fail).
bool setsFileProperties(Json root, zendra::pack::TargetSystem target) {
    root.erase("files");
    root.erase("resources");
    std::vector<std::string> notes;
    zendra::pack::Package package;
    try {
        package = zendra::pack::packageFromJson(root.dump(), workDir, notes, target);
    } catch (const zendra::pack::PackError&) {
        return true;
    }
    for (const auto& [id, value] : package.strings)
        if (id == zendra::prop::includedFileCount || id == zendra::prop::includedFileNames) return true;
    return false;
}

// Whether the dump failed because this machine's file system cannot hold an included file's
// name (a part longer than 255 bytes; text of code page 1252 may triple in UTF-8).
bool beyondHostNameLimit(const Json& root, const std::string& err) {
    if (err.find("cannot write") == std::string::npos || !root.contains("files") || !root["files"].is_array())
        return false;
    for (const Json& file : root["files"]) {
        if (!file.is_object() || !file.contains("name") || !file["name"].is_string()) continue;
        std::size_t part = 0;
        for (char c : file["name"].get<std::string>()) {
            part = c == '\\' ? 0 : part + 1;
            if (part > 255 / 3) return true;
        }
    }
    return false;
}

void roundTrip(const Json& root, const char* launcher, zendra::pack::TargetSystem target) {
    if (tool({at(launcher), at("desc.json"), at("packed1")}).code != 0) return;
    fs::remove_all(workDir / "extracted");
    const Run dump = tool({"--dump", at("packed1"), "--extract-dir", at("extracted"), "--output", at("dump1.json")});
    if (dump.code != 0 && !setsFileProperties(root, target) && !beyondHostNameLimit(root, dump.err)) {
        std::fprintf(stderr, "%s", dump.err.c_str());
        check(false, "what the tool packs it can dump");
    }
    if (dump.code != 0 || dump.err.find("bytes follow the included data") != std::string::npos) return;
    // Bytes that are no text of the code page the dump reads in are printed as U+FFFD where the
    // description has no hex form (included file names): such a dump cannot pack back.
    if (readAll(workDir / "dump1.json").find("\xEF\xBF\xBD") != std::string::npos) return;
    const Run again = tool({at(launcher), at("dump1.json"), at("packed2")});
    // Included-file names set by hand come back as file names, which may be names the
    // description refuses ("a./txt"): only the tool's own names must pack back.
    if (again.code != 0 && setsFileProperties(root, target)) return;
    if (again.code != 0) std::fprintf(stderr, "%s", again.err.c_str());
    check(again.code == 0, "a dump packs");
    check(readAll(workDir / "packed1") == readAll(workDir / "packed2"), "a dump packs back to the same bytes");
    fs::remove_all(workDir / "extracted");
    tool({"--dump", at("packed2"), "--extract-dir", at("extracted"), "--output", at("dump2.json")});
    check(readAll(workDir / "dump1.json") == readAll(workDir / "dump2.json"), "a repacked dump dumps the same");
}

std::string bytesOf(const std::vector<std::uint8_t>& bytes) { return {bytes.begin(), bytes.end()}; }

// libFuzzer ends without running exit handlers, so each run removes the work directories of
// runs that have ended (named after their process ids).
void removeStaleWorkDirectories(const fs::path& tmp) {
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(tmp, error)) {
        const std::string name = entry.path().filename().string();
        if (!name.starts_with(kWorkPrefix)) continue;
        const long pid = std::strtol(name.c_str() + kWorkPrefix.size(), nullptr, 10);
        if (pid > 0 && kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH) fs::remove_all(entry.path(), error);
    }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    const fs::path tmp = fs::temp_directory_path();
    removeStaleWorkDirectories(tmp);
    workDir = tmp / (std::string(kWorkPrefix) + std::to_string(getpid()));
    fs::remove_all(workDir);
    fs::create_directories(workDir);
    // Resources stop with a message instead of starting Wine.
    setenv("ZENDRA_RESOURCE_HELPER", (workDir / "no-helper.exe").c_str(), 1);
    setenv("ZENDRA_WINE", (workDir / "no-wine").c_str(), 1);
    using zendra::test::kElfNoBits;
    using zendra::test::kElfProgBits;
    writeAll(workDir / "launcher.exe", bytesOf(zendra::test::buildPe({{0x200, 0x80}})));
    writeAll(workDir / "launcher.elf",
             bytesOf(zendra::test::buildElf({{0, 0, 0}, {kElfProgBits, 0x100, 0x80}, {kElfNoBits, 0x180, 0x1000}})));
    writeAll(workDir / "data.bin", std::string("\x00\x5A\xFFzendra", 9));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const Json root = Json::parse(text.begin(), text.end(), nullptr, false);
    if (root.is_discarded() || !root.is_object() || !namesOnlyWorkFiles(root)) return 0;
    writeAll(workDir / "desc.json", text);
    roundTrip(root, "launcher.exe", zendra::pack::TargetSystem::Windows);
    roundTrip(root, "launcher.elf", zendra::pack::TargetSystem::Linux);
    return 0;
}
