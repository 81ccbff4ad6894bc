#include "log.h"

#include <ctime>

#include "text.h"

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

// Whether the environment variable is set to "yes".
bool isYes(Platform& os, const char* name) { return os.env.get(name) == "yes"; }

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

DiagnosticLog::DiagnosticLog(Platform& platform, LogPolicy policy)
    : policy_(policy), state_(std::make_shared<State>(platform)) {}

void DiagnosticLog::write(bool error, const std::string& text) {
    State& s = *state_;
    std::lock_guard<Mutex> guard(s.lock);
    std::uint32_t code = 0;
    if (s.path && !s.stream) s.stream = s.os.fs.openAppend(*s.path, code);
    if (!initialised_) initialise();
    if (!s.stream) return;
    writeAll(*s.stream, concat({error ? "ERROR: " : "", text, "\n"}));
    s.stream.reset();
}

std::optional<std::string> DiagnosticLog::getLogFilePath() {
    std::lock_guard<Mutex> guard(state_->lock);
    state_->kept = true;
    // The fallback name stays even when no file could be made there: name only a real log.
    if (!state_->path || !state_->os.fs.find(*state_->path)) return std::nullopt;
    return state_->path;
}

void DiagnosticLog::initialise() {
    State& s = *state_;
    Platform& os = s.os;
    initialised_ = true;
    bool requested = switchGiven_ || isYes(os, "ZENDRA_LOG") || isYes(os, "QUILLON_LOG");
    if (!requested) {
        if (policy_ == LogPolicy::OnRequest) return;
        os.process.atNormalExit([state = state_] { state->deleteUnlessKept(); });
    }
    std::uint32_t code = 0;
    if (auto name = claimTempName()) {
        s.path = *name;
    } else {
        s.path = os.paths().windows ? std::string(kFallbackPath) : concat({os.paths().defaultTempDirectory, "qln_nlog"});
        if (!os.fs.createWrite(*s.path, code)) return;
    }
    s.stream = os.fs.openAppend(*s.path, code);
    if (!s.stream) return;
    writeAll(*s.stream, formatText("Started executable %s at %s\n", os.process.moduleFileNameA().c_str(),
                                  ctimeText(os.clock.now()).c_str()));
}

std::optional<std::string> DiagnosticLog::claimTempName() {
    Platform& os = state_->os;
    const PathConventions& conv = os.paths();
    std::string dir(conv.defaultTempDirectory);
    if (auto tmp = os.env.get(conv.windows ? "TMP" : "TMPDIR"); tmp && !tmp->empty()) {
        std::string probe = *tmp;
        while (probe.size() > (conv.windows ? 3 : 1) && (probe.back() == '\\' || probe.back() == '/')) probe.pop_back();
        if (auto entry = os.fs.find(probe); entry && entry->isDirectory) dir = *tmp;
    }
    if (dir.back() != '\\' && dir.back() != '/') dir += conv.separator;
    for (int counter = 1; counter < 100000; ++counter) {
        // Created in one step, so that launchers starting together never share a name.
        std::string candidate = formatText("%sqln_nlog_%d", dir.c_str(), counter);
        std::uint32_t code = 0;
        if (os.fs.createNew(candidate, code)) return candidate;
        if (!os.fs.find(candidate)) return std::nullopt;
    }
    return std::nullopt;
}

void DiagnosticLog::State::deleteUnlessKept() {
    std::lock_guard<Mutex> guard(lock);
    stream.reset();
    if (!kept && path) os.fs.deleteFile(*path);
}

}  // namespace zendra
