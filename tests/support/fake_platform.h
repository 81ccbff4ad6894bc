// An in-memory stand-in for the operating system, so start-up decisions can be tested on Linux.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "fake_desktop.h"
#include "fake_splash.h"
#include "fake_sync.h"
#include "platform.h"

namespace zendra::test {

// Thrown by FakeProcess::exitProcess in place of ending the process.
struct FakeExit {
    int code;
};

// One node of the fake file tree.
struct FakeNode {
    bool isDirectory = false;
    std::shared_ptr<std::vector<std::uint8_t>> content = std::make_shared<std::vector<std::uint8_t>>();
    std::uint64_t lastWriteTime = 0;
    std::string name;  // the last path component as created
};

// Windows-like file system in memory: case-insensitive, "\\" separated, drive roots always present.
class FakeFileSystem final : public FileSystem {
public:
    FakeFileSystem();
    std::unique_ptr<File> openRead(const std::string& path, std::uint32_t& error) override;
    std::unique_ptr<File> createWrite(const std::string& path, std::uint32_t& error) override;
    std::unique_ptr<File> createNew(const std::string& path, std::uint32_t& error) override;
    std::unique_ptr<File> openAppend(const std::string& path, std::uint32_t& error) override;
    std::optional<FileEntry> find(const std::string& path) override;
    std::vector<FileEntry> list(const std::string& pattern) override;
    bool createDirectory(const std::string& path, std::uint32_t& error) override;
    bool removeDirectory(const std::string& path) override;
    bool deleteFile(const std::string& path) override;
    bool deleteFileWithError(const std::string& path, std::uint32_t& error) override;
    bool isRegularFile(const std::string& path) override;
    std::optional<std::string> fullPathName(const std::string& path) override;
    std::optional<std::string> longPathName(const std::string& path) override;
    std::optional<std::string> shortPathName(const std::string& path) override;
    TempPathResult tempPath() override;
    std::optional<std::string> tempFileName(const std::string& dir, const std::string& prefix,
                                            std::uint32_t& error) override;
    std::string windowsDirectory() override { return "c:\\windows"; }
    bool setCurrentDirectory(const std::string& path) override;
    std::optional<std::string> searchPath(const std::string& fileName) override;

    // Test set-up and inspection.
    void addFile(const std::string& path, const std::string& content);
    // Adds a file with binary content, creating its parent directories.
    void addFile(const std::string& path, const std::vector<std::uint8_t>& content);
    // Creates a directory and its parents.
    void addDirectory(const std::string& path);
    // Whether the path exists.
    bool exists(const std::string& path) const;
    // The content of a file as text ("" when missing).
    std::string content(const std::string& path) const;
    // Every path in the tree, lower-cased, sorted.
    std::vector<std::string> allPaths() const;

    std::string currentDirectory = "c:\\work";
    TempPathResult temp{"c:\\temp\\", 8, 0};
    bool tempFileNameFails = false;
    std::set<std::string> failingDirectories;  // createDirectory fails for these (lower-case)
    std::set<std::string> unwritableFiles;     // createWrite/openAppend fail for these (lower-case)
    std::size_t fileSizeLimit = SIZE_MAX;      // files from createWrite stop growing here (disk full)
    std::map<std::string, std::string> longNames;   // lower-case path -> long form
    std::map<std::string, std::string> shortNames;  // lower-case path -> short form
    int createDirectoryCalls = 0;
    std::map<std::string, int> busyFiles;   // lower-case path -> deletions that still fail (error 32)
    std::set<std::string> devices;          // lower-case paths that exist but are no regular files
    std::vector<std::string> searchDirectories;  // what searchPath looks through, in order
    // Called with the path at the start of each creation: another process acting meanwhile.
    std::function<void(const std::string&)> beforeCreate;

private:
    // Creates or truncates a file.
    std::unique_ptr<File> makeFile(const std::string& path, std::uint32_t& error);

    std::map<std::string, FakeNode> nodes_;  // key: lower-case normalised path
    int tempCounter_ = 0;
};

// Environment variables in a map; the C runtime's copy is recorded apart.
class FakeEnvironment final : public Environment {
public:
    std::optional<std::string> get(const std::string& name) override;
    bool set(const std::string& name, const std::optional<std::string>& value, std::uint32_t& error) override;
    void setRuntimeCopy(const std::string& assignment) override { runtimeCopy.push_back(assignment); }
    std::vector<std::pair<std::string, std::string>> block() override {
        return {vars.begin(), vars.end()};
    }
    std::map<std::string, std::string> vars;
    std::vector<std::string> runtimeCopy;  // every "NAME=value" handed to the runtime copy
    std::set<std::string> failingSets;     // names whose set fails with error 8
};

// Registry hives in memory; key names compare without regard to ASCII case.
class FakeRegistry final : public Registry {
public:
    bool keyExists(Hive hive, const std::string& key) override;
    std::optional<RegValue> queryValue(Hive hive, const std::string& key, const std::string& name) override;
    std::optional<std::vector<RegSubKey>> subKeys(Hive hive, const std::string& key) override;
    std::optional<std::vector<std::string>> valueNames(Hive hive, const std::string& key) override;
    bool createKey(Hive hive, const std::string& key) override;
    bool setValue(Hive hive, const std::string& key, const std::string& name, RegType type,
                  const std::vector<std::uint8_t>& data) override;
    bool deleteValue(Hive hive, const std::string& key, const std::string& name) override;

    // Creates a key (and its parents) with a last-write time.
    void addKey(Hive hive, const std::string& key, std::uint64_t lastWriteTime = 0);
    // Sets a string value (no terminator stored), creating the key.
    void setString(Hive hive, const std::string& key, const std::string& name, const std::string& value);
    // A string value's text, when present.
    std::optional<std::string> getString(Hive hive, const std::string& key, const std::string& name);
    int writes = 0;
    bool readOnly = false;  // setValue fails

private:
    struct Key {
        std::string name;
        std::uint64_t lastWriteTime = 0;
        std::vector<std::pair<std::string, RegValue>> values;  // in creation order
    };
    static std::string keyOf(Hive hive, const std::string& key);
    std::map<std::string, Key> keys_;  // lower-case "hive\\path"
    std::vector<std::string> order_;   // keys in creation order
};

// A library the fake loader can load: its exports by name.
struct FakeLibrary {
    std::map<std::string, void*> exports;
    std::uint32_t loadError = 0;  // non-zero: loading fails with this code
};

// Loads FakeLibrary entries by (case-insensitive) path and records every attempt.
class FakeLibraries final : public Libraries {
public:
    LibraryRef load(const std::string& path, std::uint32_t& error) override;
    void* symbol(LibraryRef library, const char* name) override;
    std::map<std::string, FakeLibrary> libraries;  // key: lower-case path
    std::vector<std::string> attempts;
};

// A settable clock.
class FakeClock final : public Clock {
public:
    std::int64_t now() override { return seconds; }
    std::int64_t seconds = 1'700'000'000;
};

// A shown message box.
struct ShownBox {
    WindowRef owner;
    std::u16string text;
    std::u16string caption;
    BoxStyle style;
    bool wide;
};

// Records boxes and standard-error output; answers boxes with a preset answer.
class FakeUserInterface final : public UserInterface {
public:
    BoxAnswer messageBox(WindowRef owner, const std::string& text, const std::string& caption,
                         BoxStyle style) override;
    BoxAnswer messageBoxW(WindowRef owner, const std::u16string& text, const std::u16string& caption,
                          BoxStyle style) override;
    void writeStderr(const std::string& text) override { stderrText += text; }
    void writeStderrW(const std::u16string& text) override { stderrWide += text; }
    void writeStdout(const std::string& text) override { stdoutText += text; }
    std::string stdoutText;
    std::vector<ShownBox> boxes;
    BoxAnswer answer = BoxAnswer::No;
    std::string stderrText;
    std::u16string stderrWide;
};

// Latin-1 as the "ANSI" code page: code units above 0xFF have no mapping.
class FakeCodec final : public TextCodec {
public:
    Narrowed toAnsi(const std::u16string& text) override;
    std::u16string fromAnsi(const std::string& text) override;
    Narrowed toFileCodePage(const std::u16string& text) override { return toAnsi(text); }
    std::u16string fromFileCodePage(const std::string& text) override { return fromAnsi(text); }
};

// The process: module names, locale, started children, exit.
class FakeProcess final : public ProcessServices {
public:
    std::u16string moduleFileNameW() override { return moduleW; }
    std::string moduleFileNameA() override { return moduleA; }
    bool hasWideLongPath() override { return wideLongPath; }
    std::optional<std::u16string> longPathNameW(const std::u16string& path) override;
    std::optional<std::u16string> shortPathNameW(const std::u16string& path) override;
    std::uint32_t currentProcessId() override { return pid; }
    std::uint32_t consoleOutputCodePage() override { return consoleCodePage; }
    std::uint32_t userDefaultLcid() override { return lcid; }
    std::optional<std::uint16_t> userDefaultUiLanguage() override { return uiLanguage; }
    bool startProcess(const std::string& commandLine, std::uint32_t& error) override;
    ChildRun runHidden(const std::string& commandLine, const std::optional<std::string>& stderrFile,
                       std::uint32_t timeoutMs) override;
    void atNormalExit(std::function<void()> handler) override { exitHandlers.push_back(std::move(handler)); }
    [[noreturn]] void exitProcess(int code) override { throw FakeExit{code}; }
    // Runs the registered exit handlers in reverse order, as a normal exit would.
    void runExitHandlers();

    std::u16string moduleW = u"c:\\app\\launcher.exe";
    std::string moduleA = "c:\\app\\launcher.exe";
    bool wideLongPath = true;
    std::map<std::u16string, std::u16string> shortNamesW;
    std::uint32_t pid = 4711;
    std::uint32_t consoleCodePage = 0;
    std::uint32_t lcid = 1033;
    std::optional<std::uint16_t> uiLanguage = 1033;
    std::vector<std::string> started;
    bool startFails = false;
    std::vector<std::function<void()>> exitHandlers;

    // What a hidden child run does: the text it writes to standard error and how it ends.
    struct Script {
        std::string stderrText;
        std::uint32_t exitCode = 0;
        bool hangs = false;      // outlives any time-out
        bool fails = false;      // cannot be started
    };
    // Runs are looked up by the first token of the command line (case-insensitive).
    std::map<std::string, Script> scripts;
    std::vector<std::string> hiddenRuns;     // every command line run hidden
    std::vector<std::uint32_t> timeouts;     // the time-out of each run
    FakeFileSystem* files = nullptr;          // where standard-error files are written
};

// All fakes together, with the bundle the core takes.
struct FakeSystem {
    FakeFileSystem fs;
    FakeEnvironment env;
    FakeClock clock;
    FakeUserInterface ui;
    FakeCodec codec;
    FakeProcess process;
    FakeRegistry registry;
    FakeLibraries libraries;
    FakeSynchronization sync;
    FakeDesktop desktop;
    FakeSplashServices splash;
    Platform platform{fs, env, clock, ui, codec, process, registry, libraries, sync, desktop, splash};
    FakeSystem() {
        process.files = &fs;
        sync.files = &fs;
    }
};

// UTF-16 text of an 8-bit Latin-1 string (for assertions).
std::u16string widen(const std::string& text);

// Latin-1 text of UTF-16 (code units above 0xFF become "?"; for assertions).
std::string narrow(const std::u16string& text);

}  // namespace zendra::test
