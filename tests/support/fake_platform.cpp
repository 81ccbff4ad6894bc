#include "fake_platform.h"

#include <algorithm>
#include <cstring>

namespace zendra::test {
namespace {

constexpr std::uint32_t kFileNotFound = 2;
constexpr std::uint32_t kPathNotFound = 3;
constexpr std::uint32_t kAccessDenied = 5;
constexpr std::uint32_t kFileExists = 80;
constexpr std::uint32_t kAlreadyExists = 183;
constexpr std::uint32_t kDiskFull = 112;

// A handle on a fake file's shared content.
class FakeFile final : public File {
public:
    FakeFile(std::shared_ptr<std::vector<std::uint8_t>> content, bool append, std::size_t limit = SIZE_MAX)
        : content_(std::move(content)), append_(append), limit_(limit) {}
    IoResult read(void* buffer, std::size_t size) override {
        std::size_t available = pos_ < content_->size() ? content_->size() - pos_ : 0;
        std::size_t n = std::min(size, available);
        if (n > 0) std::memcpy(buffer, content_->data() + pos_, n);
        pos_ += n;
        return {n, 0, true};
    }
    IoResult write(const void* buffer, std::size_t size) override {
        if (append_) pos_ = content_->size();
        const std::size_t room = pos_ < limit_ ? limit_ - pos_ : 0;
        const std::size_t n = std::min(size, room);
        if (content_->size() < pos_ + n) content_->resize(pos_ + n);
        if (n > 0) std::memcpy(content_->data() + pos_, buffer, n);
        pos_ += n;
        if (n < size) return {n, kDiskFull, false};
        return {size, 0, true};
    }
    bool seek(std::uint64_t position) override {
        pos_ = static_cast<std::size_t>(position);
        return true;
    }
    std::uint64_t position() override { return pos_; }
    std::optional<std::uint64_t> size() override { return content_->size(); }

private:
    std::shared_ptr<std::vector<std::uint8_t>> content_;
    bool append_;
    std::size_t limit_;
    std::size_t pos_ = 0;
};

std::string lower(std::string s) {
    for (char& c : s)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return s;
}

bool isRoot(const std::string& key) { return key.size() == 2 && key[1] == ':'; }

std::string parentOf(const std::string& key) {
    std::size_t cut = key.find_last_of('\\');
    return cut == std::string::npos ? std::string() : key.substr(0, cut);
}

std::string lastComponent(const std::string& path) {
    std::size_t cut = path.find_last_of('\\');
    return cut == std::string::npos ? path : path.substr(cut + 1);
}

// Normalises separators, resolves "." and ".." and strips a trailing backslash.
std::string normalise(std::string path, const std::string& cwd) {
    std::replace(path.begin(), path.end(), '/', '\\');
    if (!(path.size() >= 2 && path[1] == ':')) path = cwd + "\\" + path;
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('\\', start);
        if (end == std::string::npos) end = path.size();
        std::string part = path.substr(start, end - start);
        if (part == "..") {
            if (parts.size() > 1) parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string out;
    for (const auto& p : parts) out += (out.empty() ? "" : "\\") + p;
    return out;
}

bool matches(const std::string& name, const std::string& glob) {
    if (glob == "*" || glob == "*.*") return true;
    if (glob.size() > 1 && glob[0] == '*') {
        const std::string suffix = lower(glob.substr(1));
        const std::string n = lower(name);
        return n.size() >= suffix.size() && n.compare(n.size() - suffix.size(), suffix.size(), suffix) == 0;
    }
    return lower(name) == lower(glob);
}

}  // namespace

FakeFileSystem::FakeFileSystem() { addDirectory(currentDirectory); }

void FakeFileSystem::addDirectory(const std::string& path) {
    std::string key = lower(normalise(path, currentDirectory));
    std::string original = normalise(path, currentDirectory);
    while (!key.empty() && !isRoot(key) && !nodes_.count(key)) {
        FakeNode node;
        node.isDirectory = true;
        node.name = lastComponent(original);
        nodes_[key] = node;
        key = parentOf(key);
        original = parentOf(original);
    }
}

void FakeFileSystem::addFile(const std::string& path, const std::string& content) {
    addFile(path, std::vector<std::uint8_t>(content.begin(), content.end()));
}

void FakeFileSystem::addFile(const std::string& path, const std::vector<std::uint8_t>& content) {
    const std::string full = normalise(path, currentDirectory);
    addDirectory(parentOf(full));
    FakeNode node;
    node.name = lastComponent(full);
    *node.content = content;
    node.lastWriteTime = 132'000'000'000'000'000ull;
    nodes_[lower(full)] = node;
}

bool FakeFileSystem::exists(const std::string& path) const {
    const std::string key = lower(normalise(path, currentDirectory));
    return isRoot(key) || nodes_.count(key) > 0;
}

std::string FakeFileSystem::content(const std::string& path) const {
    auto it = nodes_.find(lower(normalise(path, currentDirectory)));
    if (it == nodes_.end()) return {};
    return std::string(it->second.content->begin(), it->second.content->end());
}

std::vector<std::string> FakeFileSystem::allPaths() const {
    std::vector<std::string> out;
    for (const auto& [key, node] : nodes_) out.push_back(key);
    return out;
}

std::unique_ptr<File> FakeFileSystem::openRead(const std::string& path, std::uint32_t& error) {
    auto it = nodes_.find(lower(normalise(path, currentDirectory)));
    if (it == nodes_.end() || it->second.isDirectory) {
        error = it == nodes_.end() ? kFileNotFound : kAccessDenied;
        return nullptr;
    }
    return std::make_unique<FakeFile>(it->second.content, false);
}

std::unique_ptr<File> FakeFileSystem::createNew(const std::string& path, std::uint32_t& error) {
    if (beforeCreate) beforeCreate(path);
    if (exists(path)) {
        error = kFileExists;
        return nullptr;
    }
    return makeFile(path, error);
}

std::unique_ptr<File> FakeFileSystem::createWrite(const std::string& path, std::uint32_t& error) {
    if (beforeCreate) beforeCreate(path);
    return makeFile(path, error);
}

std::unique_ptr<File> FakeFileSystem::makeFile(const std::string& path, std::uint32_t& error) {
    const std::string full = normalise(path, currentDirectory);
    const std::string key = lower(full);
    if (unwritableFiles.count(key)) {
        error = kAccessDenied;
        return nullptr;
    }
    if (!exists(parentOf(full)) || (nodes_.count(key) && nodes_[key].isDirectory)) {
        error = kPathNotFound;
        return nullptr;
    }
    FakeNode& node = nodes_[key];
    node.name = lastComponent(full);
    node.content = std::make_shared<std::vector<std::uint8_t>>();
    return std::make_unique<FakeFile>(node.content, false, fileSizeLimit);
}

std::unique_ptr<File> FakeFileSystem::openAppend(const std::string& path, std::uint32_t& error) {
    const std::string full = normalise(path, currentDirectory);
    const std::string key = lower(full);
    if (!nodes_.count(key) || unwritableFiles.count(key)) return makeFile(path, error);
    if (nodes_[key].isDirectory) {
        error = kAccessDenied;
        return nullptr;
    }
    return std::make_unique<FakeFile>(nodes_[key].content, true);
}

std::optional<FileEntry> FakeFileSystem::find(const std::string& path) {
    auto it = nodes_.find(lower(normalise(path, currentDirectory)));
    if (it == nodes_.end()) return std::nullopt;
    return FileEntry{it->second.name, it->second.isDirectory, it->second.lastWriteTime};
}

std::vector<FileEntry> FakeFileSystem::list(const std::string& pattern) {
    const std::string full = normalise(pattern, currentDirectory);
    const std::string dirKey = lower(parentOf(full));
    const std::string glob = lastComponent(full);
    std::vector<FileEntry> out;
    if (!exists(dirKey)) return out;
    if (matches(".", glob)) {
        out.push_back({".", true, 0});
        out.push_back({"..", true, 0});
    }
    for (const auto& [key, node] : nodes_) {
        if (parentOf(key) == dirKey && matches(node.name, glob))
            out.push_back({node.name, node.isDirectory, node.lastWriteTime});
    }
    return out;
}

bool FakeFileSystem::createDirectory(const std::string& path, std::uint32_t& error) {
    ++createDirectoryCalls;
    const std::string full = normalise(path, currentDirectory);
    const std::string key = lower(full);
    if (failingDirectories.count(key)) {
        error = kAccessDenied;
        return false;
    }
    if (exists(full)) {
        error = kAlreadyExists;
        return false;
    }
    if (!exists(parentOf(full))) {
        error = kPathNotFound;
        return false;
    }
    addDirectory(full);
    return true;
}

bool FakeFileSystem::removeDirectory(const std::string& path) {
    const std::string key = lower(normalise(path, currentDirectory));
    auto it = nodes_.find(key);
    if (it == nodes_.end() || !it->second.isDirectory) return false;
    for (const auto& [other, node] : nodes_)
        if (parentOf(other) == key) return false;
    nodes_.erase(it);
    return true;
}

bool FakeFileSystem::deleteFile(const std::string& path) {
    std::uint32_t error = 0;
    return deleteFileWithError(path, error);
}

bool FakeFileSystem::deleteFileWithError(const std::string& path, std::uint32_t& error) {
    const std::string key = lower(normalise(path, currentDirectory));
    auto it = nodes_.find(key);
    error = 2;
    if (it == nodes_.end() || it->second.isDirectory) return false;
    if (auto busy = busyFiles.find(key); busy != busyFiles.end() && busy->second > 0) {
        --busy->second;
        error = 32;
        return false;
    }
    nodes_.erase(it);
    error = 0;
    return true;
}

bool FakeFileSystem::isRegularFile(const std::string& path) {
    const std::string key = lower(normalise(path, currentDirectory));
    auto it = nodes_.find(key);
    return it != nodes_.end() && !it->second.isDirectory && devices.count(key) == 0;
}

std::optional<std::string> FakeFileSystem::fullPathName(const std::string& path) {
    std::string full = normalise(path, currentDirectory);
    if (isRoot(full)) full += "\\";
    return full;
}

std::optional<std::string> FakeFileSystem::longPathName(const std::string& path) {
    auto it = longNames.find(lower(path));
    if (it != longNames.end()) return it->second;
    if (!exists(path)) return std::nullopt;
    return path;
}

std::optional<std::string> FakeFileSystem::shortPathName(const std::string& path) {
    auto it = shortNames.find(lower(path));
    if (it != shortNames.end()) return it->second;
    if (!exists(path)) return std::nullopt;
    return path;
}

TempPathResult FakeFileSystem::tempPath() { return temp; }

std::optional<std::string> FakeFileSystem::tempFileName(const std::string& dir, const std::string& prefix,
                                                        std::uint32_t& error) {
    if (tempFileNameFails || !exists(dir)) {
        error = kPathNotFound;
        return std::nullopt;
    }
    std::string base = dir;
    if (base.back() != '\\') base += '\\';
    std::string name = base + prefix + std::to_string(++tempCounter_) + ".tmp";
    addFile(name, std::string());
    return name;
}

bool FakeFileSystem::setCurrentDirectory(const std::string& path) {
    if (!exists(path)) return false;
    currentDirectory = normalise(path, currentDirectory);
    return true;
}

std::optional<std::string> FakeFileSystem::searchPath(const std::string& fileName) {
    for (const auto& dir : searchDirectories) {
        std::string candidate = dir + (dir.empty() || dir.back() == '\\' ? "" : "\\") + fileName;
        if (auto node = nodes_.find(lower(normalise(candidate, currentDirectory))); node != nodes_.end())
            return normalise(candidate, currentDirectory);
    }
    return std::nullopt;
}

std::optional<std::string> FakeEnvironment::get(const std::string& name) {
    auto it = vars.find(name);
    if (it == vars.end()) return std::nullopt;
    return it->second;
}

bool FakeEnvironment::set(const std::string& name, const std::optional<std::string>& value, std::uint32_t& error) {
    if (failingSets.count(name)) {
        error = 8;
        return false;
    }
    if (value)
        vars[name] = *value;
    else
        vars.erase(name);
    return true;
}

BoxAnswer FakeUserInterface::messageBox(WindowRef owner, const std::string& text, const std::string& caption,
                                        BoxStyle style) {
    boxes.push_back({owner, widen(text), widen(caption), style, false});
    return style == BoxStyle::ErrorOk ? BoxAnswer::Ok : answer;
}

BoxAnswer FakeUserInterface::messageBoxW(WindowRef owner, const std::u16string& text, const std::u16string& caption,
                                         BoxStyle style) {
    boxes.push_back({owner, text, caption, style, true});
    return style == BoxStyle::ErrorOk ? BoxAnswer::Ok : answer;
}

Narrowed FakeCodec::toAnsi(const std::u16string& text) {
    Narrowed out;
    for (char16_t c : text) {
        if (c > 0xFF) {
            out.text.push_back('?');
            out.usedDefault = true;
        } else {
            out.text.push_back(static_cast<char>(c));
        }
    }
    return out;
}

std::u16string FakeCodec::fromAnsi(const std::string& text) { return widen(text); }

std::optional<std::u16string> FakeProcess::longPathNameW(const std::u16string& path) { return path; }

std::optional<std::u16string> FakeProcess::shortPathNameW(const std::u16string& path) {
    auto it = shortNamesW.find(path);
    if (it == shortNamesW.end()) return std::nullopt;
    return it->second;
}

bool FakeProcess::startProcess(const std::string& commandLine, std::uint32_t& error) {
    started.push_back(commandLine);
    if (startFails) error = 2;
    return !startFails;
}

ChildRun FakeProcess::runHidden(const std::string& commandLine, const std::optional<std::string>& stderrFile,
                               std::uint32_t timeoutMs) {
    hiddenRuns.push_back(commandLine);
    timeouts.push_back(timeoutMs);
    std::string program = commandLine.substr(0, commandLine.find(' '));
    if (program.size() >= 2 && program.front() == '"') {
        const std::size_t close = commandLine.find('"', 1);
        program = commandLine.substr(1, close == std::string::npos ? std::string::npos : close - 1);
    }
    auto it = scripts.find(lower(program));
    ChildRun run;
    if (it == scripts.end() || it->second.fails) {
        run.error = 2;
        return run;
    }
    run.started = true;
    if (stderrFile && files != nullptr) files->addFile(*stderrFile, it->second.stderrText);
    if (it->second.hangs) {
        run.exitCode = 259;
        run.terminated = true;
    } else {
        run.exitCode = it->second.exitCode;
    }
    return run;
}

void FakeProcess::runExitHandlers() {
    for (auto it = exitHandlers.rbegin(); it != exitHandlers.rend(); ++it) (*it)();
}

std::u16string widen(const std::string& text) {
    std::u16string out;
    for (char c : text) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
    return out;
}

std::string narrow(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) out.push_back(c > 0xFF ? '?' : static_cast<char>(c));
    return out;
}

}  // namespace zendra::test

namespace zendra::test {

std::string FakeRegistry::keyOf(Hive hive, const std::string& key) {
    std::string k = key;
    while (!k.empty() && k.back() == '\\') k.pop_back();
    return lower((hive == Hive::CurrentUser ? "hkcu\\" : "hklm\\") + k);
}

void FakeRegistry::addKey(Hive hive, const std::string& key, std::uint64_t lastWriteTime) {
    std::string path = key;
    while (!path.empty() && path.back() == '\\') path.pop_back();
    for (std::size_t cut = 0; cut != std::string::npos;) {
        cut = path.find('\\', cut + 1);
        const std::string prefix = path.substr(0, cut);
        const std::string k = keyOf(hive, prefix);
        if (!keys_.count(k)) {
            keys_[k].name = prefix.substr(prefix.find_last_of('\\') == std::string::npos ? 0 : prefix.find_last_of('\\') + 1);
            order_.push_back(k);
        }
    }
    keys_[keyOf(hive, path)].lastWriteTime = lastWriteTime;
}

bool FakeRegistry::keyExists(Hive hive, const std::string& key) { return keys_.count(keyOf(hive, key)) > 0; }

std::optional<RegValue> FakeRegistry::queryValue(Hive hive, const std::string& key, const std::string& name) {
    auto it = keys_.find(keyOf(hive, key));
    if (it == keys_.end()) return std::nullopt;
    for (const auto& [n, v] : it->second.values)
        if (lower(n) == lower(name)) return v;
    return std::nullopt;
}

std::optional<std::vector<RegSubKey>> FakeRegistry::subKeys(Hive hive, const std::string& key) {
    const std::string k = keyOf(hive, key);
    if (!keys_.count(k)) return std::nullopt;
    std::vector<RegSubKey> out;
    for (const auto& other : order_)
        if (parentOf(other) == k) out.push_back({keys_[other].name, keys_[other].lastWriteTime});
    return out;
}

std::optional<std::vector<std::string>> FakeRegistry::valueNames(Hive hive, const std::string& key) {
    auto it = keys_.find(keyOf(hive, key));
    if (it == keys_.end()) return std::nullopt;
    std::vector<std::string> out;
    for (const auto& [n, v] : it->second.values) out.push_back(n);
    return out;
}

bool FakeRegistry::createKey(Hive hive, const std::string& key) {
    if (readOnly) return false;
    ++writes;
    if (!keyExists(hive, key)) addKey(hive, key);
    return true;
}

bool FakeRegistry::setValue(Hive hive, const std::string& key, const std::string& name, RegType type,
                            const std::vector<std::uint8_t>& data) {
    if (readOnly) return false;
    ++writes;
    if (!keyExists(hive, key)) addKey(hive, key);
    auto& values = keys_[keyOf(hive, key)].values;
    RegValue value{static_cast<std::uint32_t>(type), data};
    for (auto& [n, v] : values) {
        if (lower(n) == lower(name)) {
            v = value;
            return true;
        }
    }
    values.emplace_back(name, value);
    return true;
}

bool FakeRegistry::deleteValue(Hive hive, const std::string& key, const std::string& name) {
    auto it = keys_.find(keyOf(hive, key));
    if (it == keys_.end()) return false;
    auto& values = it->second.values;
    auto v = std::find_if(values.begin(), values.end(), [&](const auto& e) { return lower(e.first) == lower(name); });
    if (v == values.end()) return false;
    values.erase(v);
    return true;
}

void FakeRegistry::setString(Hive hive, const std::string& key, const std::string& name, const std::string& value) {
    setValue(hive, key, name, RegType::String, std::vector<std::uint8_t>(value.begin(), value.end()));
    --writes;
}

std::optional<std::string> FakeRegistry::getString(Hive hive, const std::string& key, const std::string& name) {
    auto value = queryValue(hive, key, name);
    if (!value) return std::nullopt;
    std::string text(value->data.begin(), value->data.end());
    while (!text.empty() && text.back() == '\0') text.pop_back();
    return text;
}

LibraryRef FakeLibraries::load(const std::string& path, std::uint32_t& error) {
    attempts.push_back(path);
    auto it = libraries.find(lower(path));
    if (it == libraries.end()) {
        error = 126;
        return nullptr;
    }
    if (it->second.loadError != 0) {
        error = it->second.loadError;
        return nullptr;
    }
    return &it->second;
}

void* FakeLibraries::symbol(LibraryRef library, const char* name) {
    auto* lib = static_cast<FakeLibrary*>(library);
    auto it = lib->exports.find(name);
    return it == lib->exports.end() ? nullptr : it->second;
}

}  // namespace zendra::test
