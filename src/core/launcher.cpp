#include "launcher.h"

#include <array>
#include <string_view>

#include "errors.h"
#include "paths.h"
#include "property_ids.h"
#include "record.h"
#include "text.h"

namespace zendra {
namespace {

constexpr std::array<std::string_view, 4> kLogSwitches = {"-create-qln-log", "-create-znd-log", "/create-qln-log",
                                                          "/create-znd-log"};

void takeLogSwitch(Launcher& l, ArgumentList& args) {
    for (auto sw : kLogSwitches) {
        if (args[1] == asciiToU16(sw)) {
            args.erase(args.begin() + 1);
            l.log.setSwitchGiven();
            return;
        }
    }
}

// Reads the record into the store; the failure text of a damaged record, else nullptr.
const char* readRecord(Launcher& l, File& file, const ArgumentList* args) {
    RecordReader reader(file, l.log);
    reader.seekToAppendedData();
    RecordHead head = reader.readHead();
    if (reader.failed()) return reader.failure();
    for (auto& [id, value] : head.strings) l.store.setProperty(id, std::move(value));
    for (auto& [id, value] : head.messages) l.store.setMessage(id, std::move(value));
    LocaleFacts facts{l.os.process.userDefaultLcid(), l.os.process.userDefaultUiLanguage()};
    l.language = selectLanguage(args, facts, l.log);
    const std::vector<LanguageBlock> blocks = reader.readLanguageBlocks();
    if (reader.failed()) return reader.failure();
    l.store.applyLanguageBlocks(blocks, l.language.code);
    l.store.configurationEndPosition = static_cast<std::uint32_t>(reader.position());
    return nullptr;
}

void changeWorkingDirectory(Launcher& l) {
    const std::string& configured = l.store.getProperty(prop::workingDirectory);
    if (configured.empty()) {
        l.log.message("working directory unchanged");
        return;
    }
    const std::string full = getFullPath(l, configured, true);
    l.os.fs.setCurrentDirectory(full);
    l.log.message("change working directory to %s", full.c_str());
}

void logPrompt(Launcher& l) {
    const std::string path = l.log.getLogFilePath().value_or("");
    const std::string text = formatText(
        "The following log file will be created:\n\n%s\n\nDo you want to open an Explorer window?", path.c_str());
    if (l.os.ui.messageBox(nullptr, text, l.productTitle, BoxStyle::QuestionYesNo) != BoxAnswer::Yes) return;
    if (!l.os.paths().windows) return;  // no file manager to open there
    const std::string shortPath = l.os.fs.shortPathName(path).value_or(path);
    const std::string command =
        formatText("%s\\explorer.exe /select,%s", l.os.fs.windowsDirectory().c_str(), shortPath.c_str());
    l.log.message("calling %s", command.c_str());
    std::uint32_t code = 0;
    if (!l.os.process.startProcess(command, code)) l.log.message("could not open explorer window %d", static_cast<int>(code));
}

}  // namespace

Launcher::Launcher(Platform& platform, LauncherKind launcherKind)
    : os(platform),
      kind(launcherKind),
      log(platform, launcherKind == LauncherKind::Setup ? LogPolicy::Always : LogPolicy::OnRequest),
      processId(platform.process.currentProcessId()),
      consoleOutputCodePage(platform.process.consoleOutputCodePage()) {}

std::int32_t loadConfiguration(Launcher& l, const ArgumentList* args) {
    const std::string& path = getExecutablePath(l);
    std::uint32_t code = 0;
    std::unique_ptr<File> file = l.os.fs.openRead(path, code);
    if (!file) {
        l.log.error("Could not open %s", path.c_str());
        fatalMessage(l, "Error opening media file. Please move this file to an ascii-only path like c:\\");
    }
    if (const char* failure = readRecord(l, *file, args)) fatalMessage(l, failure);
    file.reset();
    const std::int32_t type = l.store.getIntProperty(prop::launcherType);
    if (type != 1 && type != 5) l.errorDisplayMode = false;
    return type;
}

void launcherInit(Launcher& l, ArgumentList* args) {
    l.launcherTempDir.clear();
    if (args != nullptr && args->size() >= 2) takeLogSwitch(l, *args);
    loadConfiguration(l, args);
    const std::string& flavour = l.store.getProperty(prop::productFlavour);
    l.flavourLetter = flavour.empty() ? '\0' : flavour.front();
    l.productTitle = l.flavourLetter == 'z' ? "zendra" : "quillon";
    if (!l.languageRestart) changeWorkingDirectory(l);
    if (l.log.switchGiven()) logPrompt(l);
}

bool isQuillonFlavour(const Launcher& l) { return l.flavourLetter == 'q'; }

}  // namespace zendra
