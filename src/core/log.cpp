#include "log.h"

#include <ctime>

namespace zendra {
namespace {

constexpr const char* kFallbackPath = "c:\\qln_nlog";

bool writeAll(File& file, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        IoResult r = file.write(text.data() + done, text.size() - done);
        if (!r.ok || r.bytes == 0) return false;
        done += r.bytes;
    }
    return true;
}

}  // namespace

std::string ctimeText(std::int64_t secondsSince1970) {
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    auto t = static_cast<std::time_t>(secondsSince1970);
    const std::tm* tm = std::localtime(&t);
    if (tm == nullptr) return "(unknown time)\n";
    return formatText("%s %s %2d %02d:%02d:%02d %d\n", kDays[tm->tm_wday % 7], kMonths[tm->tm_mon % 12], tm->tm_mday,
                      tm->tm_hour, tm->tm_min, tm->tm_sec, tm->tm_year + 1900);
}

DiagnosticLog::DiagnosticLog(Platform& platform, LogPolicy policy) : os_(platform), policy_(policy) {}

void DiagnosticLog::write(bool error, const std::string& text) {
    std::lock_guard<std::mutex> guard(lock_);
    std::uint32_t code = 0;
    if (path_ && !stream_) stream_ = os_.fs.openAppend(*path_, code);
    if (!initialised_) initialise();
    if (!stream_) return;
    writeAll(*stream_, (error ? "ERROR: " : "") + text + "\n");
    stream_.reset();
}

std::optional<std::string> DiagnosticLog::getLogFilePath() {
    std::lock_guard<std::mutex> guard(lock_);
    kept_ = true;
    // The fallback name stays even when no file could be made there: name only a real log.
    if (!path_ || !os_.fs.find(*path_)) return std::nullopt;
    return path_;
}

void DiagnosticLog::initialise() {
    initialised_ = true;
    bool requested = switchGiven_ || os_.env.get("ZENDRA_LOG") == "yes" || os_.env.get("QUILLON_LOG") == "yes";
    if (!requested) {
        if (policy_ == LogPolicy::OnRequest) return;
        os_.process.atNormalExit([this] { deleteUnlessKept(); });
    }
    std::uint32_t code = 0;
    if (auto name = tempName(); name && os_.fs.createWrite(*name, code)) {
        path_ = *name;
    } else {
        path_ = os_.paths().windows ? std::string(kFallbackPath) : std::string(os_.paths().defaultTempDirectory) + "qln_nlog";
        if (!os_.fs.createWrite(*path_, code)) return;
    }
    stream_ = os_.fs.openAppend(*path_, code);
    if (!stream_) return;
    writeAll(*stream_, formatText("Started executable %s at %s\n", os_.process.moduleFileNameA().c_str(),
                                  ctimeText(os_.clock.now()).c_str()));
}

std::optional<std::string> DiagnosticLog::tempName() {
    const PathConventions& conv = os_.paths();
    std::string dir(conv.defaultTempDirectory);
    if (auto tmp = os_.env.get(conv.windows ? "TMP" : "TMPDIR"); tmp && !tmp->empty()) {
        std::string probe = *tmp;
        while (probe.size() > (conv.windows ? 3 : 1) && (probe.back() == '\\' || probe.back() == '/')) probe.pop_back();
        if (auto entry = os_.fs.find(probe); entry && entry->isDirectory) dir = *tmp;
    }
    if (dir.back() != '\\' && dir.back() != '/') dir += conv.separator;
    for (int counter = 1; counter < 100000; ++counter) {
        std::string candidate = dir + "qln_nlog_" + std::to_string(counter);
        if (!os_.fs.find(candidate)) return candidate;
    }
    return std::nullopt;
}

void DiagnosticLog::deleteUnlessKept() {
    std::lock_guard<std::mutex> guard(lock_);
    stream_.reset();
    if (!kept_ && path_) os_.fs.deleteFile(*path_);
}

}  // namespace zendra
