#include "resource_helper.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>
#include <thread>

#include "pack_model.h"
#include "pe_image.h"

extern char** environ;

namespace zendra::pack {
namespace {

constexpr auto kHelperTimeout = std::chrono::seconds(300);  // a fresh Wine prefix alone takes ~10 s

// A private temporary directory, removed with everything in it.
class ScratchDir {
public:
    ScratchDir() {
        std::string pattern = (std::filesystem::temp_directory_path() / "zendra-pack-XXXXXX").string();
        if (::mkdtemp(pattern.data()) == nullptr) {
            throw PackError("cannot create a temporary directory: " + std::string(std::strerror(errno)));
        }
        path_ = pattern;
    }
    ~ScratchDir() {
        std::error_code ignored;
        std::filesystem::remove_all(path_, ignored);
    }
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;
    // A path inside the directory.
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }
    // The directory.
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

void writeAll(const std::filesystem::path& path, std::span<const std::uint8_t> data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data.data()), static_cast<std::streamsize>(data.size()));
    out.close();
    if (!out) throw PackError("cannot write \"" + path.string() + "\"");
}

std::vector<std::uint8_t> readAll(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// The helper's command line; the files it reads are written into dir.
std::vector<std::string> commandLine(const ScratchDir& dir, const std::vector<PeResource>& planned,
                                     const HelperSetup& setup) {
    std::vector<std::string> args{setup.wine.string(), setup.helper.string(), "target.exe"};
    for (std::size_t i = 0; i < planned.size(); ++i) {
        const PeResource& resource = planned[i];
        const std::string file = "r" + std::to_string(i) + ".bin";
        writeAll(dir / file, resource.data);
        args.insert(args.end(), {resource.type.argument(), resource.name.argument(),
                                 std::to_string(resource.language), file});
    }
    return args;
}

// The environment of the Wine run: quiet, and no prompts to install Mono or Gecko when Wine
// has to create the prefix first.
std::vector<std::string> wineEnvironment() {
    std::vector<std::string> env;
    for (char** entry = environ; *entry != nullptr; ++entry) env.emplace_back(*entry);
    if (std::getenv("WINEDEBUG") == nullptr) env.emplace_back("WINEDEBUG=-all");
    if (std::getenv("WINEDLLOVERRIDES") == nullptr) env.emplace_back("WINEDLLOVERRIDES=mscoree,mshtml=");
    return env;
}

std::vector<char*> pointers(std::vector<std::string>& texts) {
    std::vector<char*> out;
    for (std::string& text : texts) out.push_back(text.data());
    out.push_back(nullptr);
    return out;
}

// Waits for the child until the time-out, then kills it; returns the wait status or nullopt.
std::optional<int> waitFor(pid_t child) {
    const auto deadline = std::chrono::steady_clock::now() + kHelperTimeout;
    int status = 0;
    while (std::chrono::steady_clock::now() < deadline) {
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child) return status;
        if (done < 0 && errno != EINTR) return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ::kill(child, SIGKILL);
    ::waitpid(child, &status, 0);
    return std::nullopt;
}

// Runs args in dir with standard error to dir/stderr.txt; returns the wait status.
int spawnIn(const ScratchDir& dir, std::vector<std::string> args) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    const std::string errors = (dir / "stderr.txt").string();
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, errors.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_addchdir_np(&actions, dir.path().c_str());
    std::vector<std::string> env = wineEnvironment();
    pid_t child = 0;
    const int error = ::posix_spawn(&child, args[0].c_str(), &actions, nullptr, pointers(args).data(),
                                    pointers(env).data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) throw PackError("cannot run \"" + args[0] + "\": " + std::strerror(error));
    const std::optional<int> status = waitFor(child);
    if (!status) throw PackError("the resource helper did not finish within 300 s and was stopped");
    return *status;
}

// The helper's own error line, else the last line Wine wrote.
std::string failureText(const std::filesystem::path& errors) {
    std::ifstream in(errors);
    std::string line;
    std::string last;
    std::string own;
    while (std::getline(in, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
        if (line.starts_with("zendra-rc:")) own = line;
        if (!line.empty()) last = line;
    }
    return own.empty() ? last : own;
}

// zendra-rc.exe beside this program, where the release archive puts it; empty when absent.
std::string helperBesideTool() {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    if (error) return {};
    const std::filesystem::path candidate = self.parent_path() / "zendra-rc.exe";
    return std::filesystem::is_regular_file(candidate, error) ? candidate.string() : std::string();
}

}  // namespace

HelperSetup findHelper(const std::optional<std::string>& option) {
    const char* fromEnv = std::getenv("ZENDRA_RESOURCE_HELPER");
    const std::string helper = option ? *option : (fromEnv != nullptr ? fromEnv : helperBesideTool());
    if (helper.empty()) {
        throw PackError("adding resources needs the helper zendra-rc.exe: give --resource-helper PATH or set "
                        "ZENDRA_RESOURCE_HELPER");
    }
    std::error_code error;
    if (!std::filesystem::is_regular_file(helper, error)) throw PackError("resource helper \"" + helper + "\" not found");
    const char* wine = std::getenv("ZENDRA_WINE");
    HelperSetup setup{std::filesystem::absolute(helper), wine != nullptr && *wine != '\0' ? wine : kDefaultWine};
    if (::access(setup.wine.c_str(), X_OK) != 0) {
        throw PackError("adding resources needs Wine to run the helper: \"" + setup.wine.string() +
                        "\" not found (install wine64 or set ZENDRA_WINE)");
    }
    return setup;
}

std::vector<std::uint8_t> runResourceHelper(std::span<const std::uint8_t> image, const std::vector<PeResource>& planned,
                                            const HelperSetup& setup) {
    ScratchDir dir;
    writeAll(dir / "target.exe", image);
    const int status = spawnIn(dir, commandLine(dir, planned, setup));
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        const std::string text = failureText(dir / "stderr.txt");
        const std::string how = WIFEXITED(status) ? "exit code " + std::to_string(WEXITSTATUS(status))
                                                  : "signal " + std::to_string(WTERMSIG(status));
        throw PackError("adding resources failed (" + how + ")" + (text.empty() ? "" : ": " + text));
    }
    std::vector<std::uint8_t> updated = readAll(dir / "target.exe");
    checkUpdatedImage(updated, planned);
    return updated;
}

std::vector<std::uint8_t> addResources(std::vector<std::uint8_t> image, const std::vector<ResourceFile>& files,
                                       const std::optional<std::string>& helperOption, std::vector<std::string>& notes) {
    if (files.empty()) return image;
    const std::vector<PeResource> planned = planResources(readResources(image), files, notes);
    return runResourceHelper(image, planned, findHelper(helperOption));
}

}  // namespace zendra::pack
