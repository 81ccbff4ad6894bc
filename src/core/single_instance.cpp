#include "single_instance.h"

#include <algorithm>
#include <memory>
#include <vector>

#include "errors.h"
#include "paths.h"
#include "process_windows.h"
#include "property_ids.h"

namespace zendra {
namespace {

constexpr const char* kPidsKey = "SOFTWARE\\orvane-labs\\zendra\\pids\\";
constexpr const char* kNotificationSuffix = "_notification";
constexpr std::uint32_t kPollMs = 50;
constexpr int kPollPasses = 200;          // 10 s of polling
constexpr int kLivenessEveryPasses = 5;   // the running instance is checked every 250 ms
constexpr int kHighestInstanceNumber = 100000;
constexpr std::size_t kMaxHandOverUnits = 16383;  // UTF-16 code units, line feed included
constexpr std::uint32_t kInvalidHandle = 6;       // ERROR_INVALID_HANDLE: no semaphore to release

// The executable path as instances of one executable share it: full and lower-cased.
std::string executableKey(Launcher& l) { return getFullPath(l, getExecutablePath(l), false); }

// The unnumbered instance semaphore name: scope prefix and the path with backslashes and
// spaces replaced by "_".
std::string baseSemaphoreName(Launcher& l, std::string path) {
    std::replace(path.begin(), path.end(), l.os.paths().separator, '_');
    std::replace(path.begin(), path.end(), ' ', '_');
    path.insert(0, l.store.getIntProperty(prop::globalInstanceScope) != 0 ? "Global\\" : "Local\\");
    return path;
}

void logSemaphore(Launcher& l, const std::string& name, const SemaphoreOpening& opening) {
    l.log.message("semaphore name %s, code %d, value %p", name.c_str(), static_cast<int>(opening.status),
                  opening.semaphore ? opening.semaphore->handleValue() : nullptr);
}

// Multi-instance mode: takes the first numbered semaphore nobody holds yet.
void takeNumberedSemaphore(Launcher& l, const std::string& base) {
    std::string name;
    SemaphoreOpening opening;
    for (int number = 0; number <= kHighestInstanceNumber; ++number) {
        name = formatText("%s%d", base.c_str(), number);
        opening = l.os.sync.createSemaphore(name, 1, 1);  // closes the previous, taken one
        if (!opening.alreadyExisted()) break;
    }
    logSemaphore(l, name, opening);
    l.instanceSemaphore = std::move(opening.semaphore);
    l.instanceSemaphoreName = name;
}

// Records this process as the running instance of the executable; failures are ignored.
void registerRunningInstance(Launcher& l, const std::string& key) {
    const std::uint32_t id = l.processId;
    const std::vector<std::uint8_t> data{static_cast<std::uint8_t>(id), static_cast<std::uint8_t>(id >> 8),
                                         static_cast<std::uint8_t>(id >> 16), static_cast<std::uint8_t>(id >> 24)};
    l.os.registry.setValue(Hive::CurrentUser, kPidsKey, key, RegType::Dword, data);
}

// The running instance's process id from the registry; 0 when missing or not 4 bytes long.
std::uint32_t runningInstanceId(Launcher& l, const std::string& key) {
    const std::optional<RegValue> value = l.os.registry.queryValue(Hive::CurrentUser, kPidsKey, key);
    if (!value || value->data.size() != 4) return 0;
    const auto& d = value->data;
    return static_cast<std::uint32_t>(d[0] | (d[1] << 8) | (d[2] << 16)) | (static_cast<std::uint32_t>(d[3]) << 24);
}

// Polls while the file exists (at most 200 passes of 50 ms); false when the running
// instance ended meanwhile.
bool waitWhileFileExists(Launcher& l, const std::string& path) {
    for (int pass = 0; pass < kPollPasses && pathExists(l, path); ++pass) {
        l.os.sync.sleep(kPollMs);
        if (pass % kLivenessEveryPasses == 0 && !isMainInstanceAlive(l)) return false;
    }
    return true;
}

// Lets the next new instance hand over.
void releaseNotification(Launcher& l, NamedSemaphore* notification) {
    std::uint32_t code = kInvalidHandle;
    if (notification == nullptr || !notification->release(code)) {
        l.log.message("release semaphore failed %d", static_cast<int>(code));
    }
}

// The argument text and a line feed, UTF-16LE, at most 16383 code units in all.
std::vector<std::uint8_t> handOverBytes(const std::u16string& commandLine) {
    std::u16string text = handOverArgumentText(commandLine).substr(0, kMaxHandOverUnits - 1);
    text.push_back(u'\n');
    std::vector<std::uint8_t> bytes(text.size() * 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        bytes[2 * i] = static_cast<std::uint8_t>(text[i] & 0xFF);
        bytes[2 * i + 1] = static_cast<std::uint8_t>(text[i] >> 8);
    }
    return bytes;
}

// Writes the hand-over file, which must not exist yet. On failure the notification
// semaphore is released before the fatal end, so that waiting instances are not stuck.
void writeHandOverFile(Launcher& l, const std::string& path, NamedSemaphore* notification) {
    std::uint32_t code = 0;
    std::unique_ptr<File> file = l.os.sync.createNewFile(path, code);
    if (!file) {
        l.log.message("CreateFile failed %d", static_cast<int>(code));
        releaseNotification(l, notification);
        fatalPropertyWithArgument(l, prop::errorInternal, "21");
    }
    const std::vector<std::uint8_t> bytes = handOverBytes(l.commandLine);
    const IoResult result = file->write(bytes.data(), bytes.size());
    if (!result.ok || result.bytes != bytes.size()) {
        l.log.error("WriteFile failed %d", static_cast<int>(result.error));
        file.reset();
        l.os.fs.deleteFile(path);  // a partial file would hand wrong arguments over
        releaseNotification(l, notification);
        fatalPropertyWithArgument(l, prop::errorInternal, "22");
    }
}

// Hands the argument text to the running instance through its hand-over file.
void handOverArguments(Launcher& l, std::uint32_t runningId) {
    const std::string path = getPidFileName(l, runningId);
    l.log.message("notification via %s", path.c_str());
    SemaphoreOpening notification =
        l.os.sync.createSemaphore(*l.instanceSemaphoreName + kNotificationSuffix, 1, 1);
    if (!notification.semaphore) {
        l.log.message("semaphore creation failed %d", static_cast<int>(notification.status));
    }
    l.log.message("waiting for notification semaphore");
    const std::uint32_t waited = notification.semaphore ? notification.semaphore->wait() : kWaitFailed;
    l.log.message("wait returned %d", static_cast<int>(waited));
    if (isMainInstanceAlive(l) && waitWhileFileExists(l, path)) {
        writeHandOverFile(l, path, notification.semaphore.get());
        l.log.message("waiting for file deletion");
        if (!waitWhileFileExists(l, path)) l.os.fs.deleteFile(path);
    }
    releaseNotification(l, notification.semaphore.get());
}

}  // namespace

std::u16string handOverArgumentText(std::u16string_view commandLine) {
    std::size_t at = 0;
    if (!commandLine.empty() && commandLine.front() == u'"') {
        at = commandLine.find(u'"', 1);
        if (at == std::u16string_view::npos) return {};
    }
    const std::size_t space = commandLine.find(u' ', at);
    if (space == std::u16string_view::npos) return {};
    const std::size_t rest = commandLine.find_first_not_of(u' ', space);
    if (rest == std::u16string_view::npos) return {};
    return std::u16string(commandLine.substr(rest));
}

bool isMainInstanceAlive(Launcher& l) {
    if (!l.instanceSemaphoreName) return true;
    SemaphoreOpening opening = l.os.sync.createSemaphore(*l.instanceSemaphoreName, 1, 1);
    if (!opening.semaphore || opening.alreadyExisted()) return true;
    opening.semaphore.reset();
    l.log.message("main process already released semaphore.");
    return false;
}

void checkSingleInstance(Launcher& l, bool modeFromProperty, bool handOver, const ArgumentList& /*args*/) {
    const std::string key = executableKey(l);
    const std::string base = baseSemaphoreName(l, key);
    if (modeFromProperty && l.store.getIntProperty(prop::singleInstance) == 0) {
        takeNumberedSemaphore(l, base);
        return;
    }
    l.log.message("single instance mode");
    SemaphoreOpening opening = l.os.sync.createSemaphore(base, 1, 1);
    logSemaphore(l, base, opening);
    l.instanceSemaphoreName = base;
    if (!opening.alreadyExisted()) {
        l.instanceSemaphore = std::move(opening.semaphore);
        registerRunningInstance(l, key);
        return;
    }
    opening.semaphore.reset();
    const std::uint32_t runningId = runningInstanceId(l, key);
    l.log.message("other pid %d", static_cast<int>(runningId));
    activateProcessWindows(l, runningId, true);
    if (handOver) handOverArguments(l, runningId);
    l.log.message("exiting");
    fatalExit(l, 0);
}

}  // namespace zendra
