#include "pack_cli.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>

#include "ansi_text.h"
#include "pack_dump.h"
#include "launcher_image.h"
#include "pack_init.h"
#include "pack_json.h"
#include "pack_resources.h"
#include "pe_resources.h"
#include "resource_helper.h"

namespace zendra::pack {
namespace {

constexpr const char* kUsage = R"(usage:
  zendra-pack [--resource-helper ZENDRA-RC.EXE] LAUNCHER DESCRIPTION.json OUTPUT
      Writes OUTPUT: the launcher's image with the description's resources added, the
      configuration record and the included files. The image of a PE launcher ends
      with its last section, that of an ELF launcher with its section data and section
      header table; anything appended behind is dropped. An ELF launcher gets no
      resources. OUTPUT takes the launcher's file mode (executable bits included).
  zendra-pack --dump PACKAGED.exe [--extract-dir DIR] [--output FILE.json]
      Prints the description of a packaged executable (to FILE.json with --output) and
      reports on stderr the resources it finds and whether the integrity checksum
      matches. --extract-dir writes the included files below DIR and lets the
      description name them as "source".
  zendra-pack --verify PACKAGED.exe
      Checks the integrity checksum; exit code 0 when it matches or the flag is off.
  zendra-pack --init NAME [--output FILE.json]
      Prints a starting description for an application called NAME (to FILE.json with
      --output): name, class path and main class made from NAME, Java version range,
      search sequence, splash and single-instance switches and error texts; packs as it is.
  zendra-pack --version
  zendra-pack --help

Description (UTF-8 JSON; every member is optional):
  {
    "integrity": true,
    "codePage": 1252,
    "strings": {
      "launcherType": 1,
      "classPath": "A1lib\\app.jar",
      "statusColor": [255, 128, 0],
      "versionColor": "0,0,255",
      "9000": {"hex": "e4f6fc"}
    },
    "messages": { "msgCaption": "Setup", "20016": "Die Daten sind beschädigt." },
    "languages": [ { "key": "de", "messages": { "msgCaption": "Installation" } } ],
    "files": [
      { "name": "jre.tar.gz", "source": "build/jre.tar.gz" },
      { "name": "lib\\native.dll", "source": "native.dll" },
      { "name": "readme.txt", "text": "hello" }
    ]
  }
Keys are catalogue names or decimal ids; the record keeps the JSON order. Tables may also
be arrays of [key, value] pairs, which allows an id twice. String properties, language keys
and file names are written in "codePage" (default 1252; the launcher reads them as ANSI
text; {"hex": ...} gives exact bytes; an ELF launcher always gets UTF-8); integers and
booleans become decimal text, [r, g, b] becomes "r,g,b". Messages are written
as UTF-16LE ({"utf16le": hex} for raw code units). Included files are written XOR 0x5A and
set properties 2002 and 2003 unless those are given explicitly. "source" paths are relative
to the description's directory. "integrity": false writes flag 0 (the checksum is still
filled in).

Resources are added to the launcher image before the record:
  "resources": {"splashBitmap": "splash.bmp", "splashImage": "splash.png",
                "splashIcon": "splash.ico", "icon": "app.ico"}
splashBitmap (a .bmp) becomes bitmap 10000, splashImage (any bytes) rcdata 10000,
splashIcon and icon (.ico files) the icon groups "ID_SPLASH_ICON" and 1001. Paths are
relative to the description's directory. zendra-pack.exe writes them itself with the
system's resource calls. On Linux the Windows helper zendra-rc.exe writes them, run under
Wine ($ZENDRA_WINE, else /usr/lib/wine/wine64) in the prefix $WINEPREFIX; it is found
through --resource-helper or $ZENDRA_RESOURCE_HELPER (zendra-pack.exe ignores both).
)";

std::optional<std::vector<std::uint8_t>> readFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::vector<std::uint8_t> data((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return std::nullopt;
    return data;
}

std::vector<std::uint8_t> mustRead(const std::filesystem::path& path) {
    std::optional<std::vector<std::uint8_t>> data = readFile(path);
    if (!data) throw PackError("cannot read \"" + utf8Of(path) + "\"");
    return std::move(*data);
}

void writeFile(const std::filesystem::path& path, const std::vector<std::uint8_t>& data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    out.close();
    if (!out) throw PackError("cannot write \"" + utf8Of(path) + "\"");
}

void printNotes(const std::vector<std::string>& notes, std::ostream& err) {
    for (const std::string& note : notes) err << note << '\n';
}

// Gives the written output the launcher's permission bits, keeping it readable and writable
// for its owner so that it can be packaged again in place.
void copyMode(std::filesystem::perms mode, const std::filesystem::path& output) {
    using std::filesystem::perms;
    if (mode == perms::unknown) return;
    std::error_code error;
    std::filesystem::permissions(output, (mode & perms::all) | perms::owner_read | perms::owner_write, error);
    if (error) throw PackError("cannot set the mode of \"" + utf8Of(output) + "\": " + error.message());
}

// The note for resources an ELF launcher cannot carry.
std::string ignoredResourcesNote(const std::vector<ResourceFile>& resources) {
    std::string names;
    for (const ResourceFile& resource : resources) names += (names.empty() ? "" : ", ") + roleName(resource.role);
    return "note: resources ignored (" + names + "): an ELF launcher carries no Windows resources";
}

// The launcher image with the description's resources (PE) or a note that they were ignored (ELF).
std::vector<std::uint8_t> launcherPart(const std::vector<std::uint8_t>& launcher, const Package& package,
                                       const std::optional<std::string>& helper, std::vector<std::string>& notes) {
    const LauncherFormat format = launcherFormat(launcher);
    std::vector<std::uint8_t> image = launcherImage(launcher, notes);
    if (format == LauncherFormat::Pe) return addResources(std::move(image), package.resources, helper, notes);
    if (!package.resources.empty()) notes.push_back(ignoredResourcesNote(package.resources));
    return image;
}

// The system a launcher is for: an ELF launcher is the Linux edition.
TargetSystem targetOf(std::span<const std::uint8_t> launcher) {
    return launcherFormat(launcher) == LauncherFormat::Pe ? TargetSystem::Windows : TargetSystem::Linux;
}

// The code page the launcher reads its record's 8-bit texts in, as far as the tool can tell.
std::uint32_t recordCodePage(std::span<const std::uint8_t> launcher) {
    return targetOf(launcher) == TargetSystem::Windows ? kDefaultCodePage : kUtf8CodePage;
}

// Packs files[0] (launcher) with files[1] (description) into files[2]. Resources go into
// the launcher image first: they change its sections, and the record follows the last one.
int pack(const std::vector<std::string>& files, const std::optional<std::string>& helper, std::ostream& err) {
    const std::vector<std::uint8_t> launcher = mustRead(pathFromUtf8(files[0]));
    std::error_code statusError;
    const std::filesystem::perms mode = std::filesystem::status(pathFromUtf8(files[0]), statusError).permissions();
    const std::vector<std::uint8_t> text = mustRead(pathFromUtf8(files[1]));
    std::vector<std::string> notes;
    const std::filesystem::path baseDir = pathFromUtf8(files[1]).parent_path();
    const Package package = packageFromJson(std::string(text.begin(), text.end()), baseDir, notes, targetOf(launcher));
    const std::vector<std::uint8_t> packaged =
        packageExecutable(launcherPart(launcher, package, helper, notes), package, notes);
    printNotes(notes, err);
    writeFile(pathFromUtf8(files[2]), packaged);
    copyMode(mode, pathFromUtf8(files[2]));
    return 0;
}

// The pack command's arguments: an optional --resource-helper PATH, then three files.
int packCommand(const std::vector<std::string>& args, std::ostream& err) {
    std::optional<std::string> helper;
    std::vector<std::string> files(args);
    if (files.size() == 5 && files[0] == "--resource-helper") {
        helper = files[1];
        files.erase(files.begin(), files.begin() + 2);
    }
    if (files.size() != 3 || files[0].starts_with("-")) return -1;
    return pack(files, helper, err);
}

// Options of --dump after the file name.
struct DumpOptions {
    std::optional<std::filesystem::path> extractDir;
    std::optional<std::filesystem::path> output;
};

std::optional<DumpOptions> dumpOptions(const std::vector<std::string>& args) {
    DumpOptions options;
    for (std::size_t i = 2; i < args.size(); i += 2) {
        if (i + 1 >= args.size()) return std::nullopt;
        if (args[i] == "--extract-dir") {
            options.extractDir = pathFromUtf8(args[i + 1]);
        } else if (args[i] == "--output" || args[i] == "-o") {
            options.output = pathFromUtf8(args[i + 1]);
        } else {
            return std::nullopt;
        }
    }
    return options;
}

int dump(const std::vector<std::string>& args, const DumpOptions& options, std::ostream& out, std::ostream& err) {
    const std::vector<std::uint8_t> bytes = mustRead(pathFromUtf8(args[1]));
    PackageDump result = readPackage(bytes);
    const std::uint32_t codePage = recordCodePage(bytes);
    for (IncludedFile& file : result.package.files) file.name = fromCodePage(file.name, codePage).value_or(file.name);
    if (options.extractDir) extractFiles(result.package, *options.extractDir);
    const Json json = packageToJson(result.package, options.extractDir, codePage);
    const std::string text = json.dump(2, ' ', false, Json::error_handler_t::replace) + "\n";
    printNotes(result.notes, err);
    if (launcherFormat(bytes) == LauncherFormat::Pe) printNotes(describeResources(bytes), err);
    err << describe(result.integrity) << '\n';
    if (options.output) {
        writeFile(*options.output, std::vector<std::uint8_t>(text.begin(), text.end()));
    } else {
        out << text;
    }
    return 0;
}

int verify(const std::string& path, std::ostream& out) {
    const PackageDump result = readPackage(mustRead(pathFromUtf8(path)));
    out << describe(result.integrity) << '\n';
    return result.integrity.matches() || result.integrity.flag == 0 ? 0 : 1;
}

int dispatch(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    if (args.size() == 1 && (args[0] == "--help" || args[0] == "-h")) {
        out << kUsage;
        return 0;
    }
    if (args.size() == 1 && args[0] == "--version") {
        out << "zendra-pack " << ZENDRA_VERSION << '\n';
        return 0;
    }
    if (args.size() >= 2 && args[0] == "--dump") {
        if (std::optional<DumpOptions> options = dumpOptions(args)) return dump(args, *options, out, err);
    } else if (args.size() == 2 && args[0] == "--init") {
        out << initialDescription(args[1]);
        return 0;
    } else if (args.size() == 4 && args[0] == "--init" && (args[2] == "--output" || args[2] == "-o")) {
        const std::string text = initialDescription(args[1]);
        writeFile(pathFromUtf8(args[3]), std::vector<std::uint8_t>(text.begin(), text.end()));
        return 0;
    } else if (args.size() == 2 && args[0] == "--verify") {
        return verify(args[1], out);
    } else if (const int code = packCommand(args, err); code >= 0) {
        return code;
    }
    err << "zendra-pack: bad arguments (see zendra-pack --help)\n";
    return 2;
}

}  // namespace

int runPackTool(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    try {
        return dispatch(args, out, err);
    } catch (const PackError& e) {
        err << "zendra-pack: " << e.what() << '\n';
    } catch (const std::exception& e) {
        err << "zendra-pack: unexpected failure: " << e.what() << '\n';
    }
    return 1;
}

std::string usageText() { return kUsage; }

}  // namespace zendra::pack
