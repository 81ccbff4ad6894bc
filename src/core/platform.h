// The operating-system services the portable launcher core relies on.
// The Windows layer implements them with Win32 calls; tests implement them with fakes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "path_conventions.h"
#include "platform_desktop.h"
#include "platform_splash.h"
#include "platform_sync.h"

namespace zendra {

// Outcome of one read or write: bytes moved and the system error code when it fell short.
struct IoResult {
    std::size_t bytes = 0;
    std::uint32_t error = 0;
    bool ok = true;
};

// An open file (or any positioned byte stream); closed when destroyed.
class File {
public:
    virtual ~File() = default;
    // Reads up to size bytes at the current position.
    virtual IoResult read(void* buffer, std::size_t size) = 0;
    // Writes size bytes at the current position (one system call; may write fewer).
    virtual IoResult write(const void* buffer, std::size_t size) = 0;
    // Positions absolutely from the start; false on failure.
    virtual bool seek(std::uint64_t position) = 0;
    // The current position.
    virtual std::uint64_t position() = 0;
    // Total size in bytes, when known.
    virtual std::optional<std::uint64_t> size() = 0;
};

// One entry found by a directory search.
struct FileEntry {
    std::string name;             // file name without directory
    bool isDirectory = false;
    std::uint64_t lastWriteTime = 0;  // FILETIME units (100 ns since 1601)
};

// What the system reports as its temporary path.
struct TempPathResult {
    std::string path;
    std::uint32_t length = 0;  // the length the system returned (0 on failure)
    std::uint32_t error = 0;
};

// The code of a service the system does not offer (ERROR_NOT_SUPPORTED).
inline constexpr std::uint32_t kErrorNotSupported = 50;

// Files and directories, with 8-bit (ANSI) paths.
class FileSystem {
public:
    virtual ~FileSystem() = default;
    // Opens an existing file for reading, sharing read and write.
    virtual std::unique_ptr<File> openRead(const std::string& path, std::uint32_t& error) = 0;
    // Creates or truncates a file for writing, not shared.
    virtual std::unique_ptr<File> createWrite(const std::string& path, std::uint32_t& error) = 0;
    // Creates a file for writing only when nothing of that name exists yet, in one step that
    // concurrent processes cannot both win; not shared.
    virtual std::unique_ptr<File> createNew(const std::string& path, std::uint32_t& error) = 0;
    // Opens (creating when missing) a file for appending text.
    virtual std::unique_ptr<File> openAppend(const std::string& path, std::uint32_t& error) = 0;
    // A file-system search for exactly this path (no wildcards expected).
    virtual std::optional<FileEntry> find(const std::string& path) = 0;
    // All entries matching a search pattern such as "dir\\*.*", in search order.
    virtual std::vector<FileEntry> list(const std::string& pattern) = 0;
    // Creates one directory; error receives the system code on failure.
    virtual bool createDirectory(const std::string& path, std::uint32_t& error) = 0;
    // Removes an empty directory.
    virtual bool removeDirectory(const std::string& path) = 0;
    // Deletes a file.
    virtual bool deleteFile(const std::string& path) = 0;
    // Deletes a file; error receives the system code when it could not be deleted (where the
    // system has no code of its own, the C library's error number).
    virtual bool deleteFileWithError(const std::string& path, std::uint32_t& error);
    // Whether a path names a regular file that reading comes to the end of: no directory,
    // device, pipe or FIFO (opening some of these blocks, reading others never ends).
    virtual bool isRegularFile(const std::string& path);
    // Full-path normalisation ("." and ".." resolved); nullopt on failure.
    virtual std::optional<std::string> fullPathName(const std::string& path) = 0;
    // Long form of an existing path; nullopt on failure.
    virtual std::optional<std::string> longPathName(const std::string& path) = 0;
    // Short (8.3) form of an existing path; nullopt on failure.
    virtual std::optional<std::string> shortPathName(const std::string& path) = 0;
    // The system's temporary path.
    virtual TempPathResult tempPath() = 0;
    // A unique file name in dir with the prefix; the empty file is created.
    virtual std::optional<std::string> tempFileName(const std::string& dir, const std::string& prefix,
                                                    std::uint32_t& error) = 0;
    // The Windows directory (no trailing backslash).
    virtual std::string windowsDirectory() = 0;
    // Makes path the process's current directory.
    virtual bool setCurrentDirectory(const std::string& path) = 0;
    // The system's search for an executable file name on the search path; nullopt when not found.
    virtual std::optional<std::string> searchPath(const std::string& fileName) = 0;

    // A directory (no trailing separator) that only this user may enter, made when missing,
    // for files its own processes hand each other; nullopt and the system error code when
    // none can be trusted. Systems whose temporary path is the user's own need none.
    virtual std::optional<std::string> privateDirectory(std::uint32_t& error) {
        error = kErrorNotSupported;
        return std::nullopt;
    }
    // Creates a new directory dir + separator + prefix + a unique tail that only this user may
    // enter; nullopt and the system error code on failure.
    virtual std::optional<std::string> createUniqueDirectory(const std::string& /*dir*/,
                                                             const std::string& /*prefix*/, std::uint32_t& error) {
        error = kErrorNotSupported;
        return std::nullopt;
    }
};

// The process environment (8-bit names and values).
class Environment {
public:
    virtual ~Environment() = default;
    // The value of a variable, or nullopt when unset.
    virtual std::optional<std::string> get(const std::string& name) = 0;
    // Sets (or with nullopt removes) a variable in the operating system's environment;
    // error receives the system code on failure.
    virtual bool set(const std::string& name, const std::optional<std::string>& value, std::uint32_t& error) = 0;
    // Updates the C runtime's copy of the environment with "NAME=value".
    virtual void setRuntimeCopy(const std::string& assignment) = 0;
    // Every variable of the process environment block as name and value, in block order.
    virtual std::vector<std::pair<std::string, std::string>> block() = 0;
};

// The two registry hives the launchers use.
enum class Hive { CurrentUser, LocalMachine };

// Registry value types the launchers read and write.
enum class RegType : std::uint32_t { String = 1, Binary = 3, Dword = 4 };

// A registry value as stored: its type and its raw bytes.
struct RegValue {
    std::uint32_t type = 0;
    std::vector<std::uint8_t> data;
};

// A registry key's sub-key name and last-write time.
struct RegSubKey {
    std::string name;
    std::uint64_t lastWriteTime = 0;
};

// The registry (8-bit names, the view of the build's own word size). Every call opens the
// key, does its work and closes the key again.
class Registry {
public:
    virtual ~Registry() = default;
    // Whether a key exists (opened for reading).
    virtual bool keyExists(Hive hive, const std::string& key) = 0;
    // A value of a key; nullopt when the key or the value is missing.
    virtual std::optional<RegValue> queryValue(Hive hive, const std::string& key, const std::string& name) = 0;
    // The sub-keys of a key in enumeration order; nullopt when the key is missing.
    virtual std::optional<std::vector<RegSubKey>> subKeys(Hive hive, const std::string& key) = 0;
    // The value names of a key in enumeration order; nullopt when the key is missing.
    virtual std::optional<std::vector<std::string>> valueNames(Hive hive, const std::string& key) = 0;
    // Creates the key (and missing parents) without setting a value; false on failure.
    virtual bool createKey(Hive hive, const std::string& key) = 0;
    // Creates the key when missing and sets a value; false when either fails.
    virtual bool setValue(Hive hive, const std::string& key, const std::string& name, RegType type,
                          const std::vector<std::uint8_t>& data) = 0;
    // Deletes a value; false when it cannot be deleted.
    virtual bool deleteValue(Hive hive, const std::string& key, const std::string& name) = 0;
};

// Opaque handle of a loaded library (HMODULE on Windows).
using LibraryRef = void*;

// Loading native libraries into the process.
class Libraries {
public:
    virtual ~Libraries() = default;
    // Loads a library by full path; nullptr and the system error code on failure.
    virtual LibraryRef load(const std::string& path, std::uint32_t& error) = 0;
    // An export of a loaded library by name, or nullptr.
    virtual void* symbol(LibraryRef library, const char* name) = 0;
};

// Wall clock.
class Clock {
public:
    virtual ~Clock() = default;
    // Seconds since 1970-01-01 UTC.
    virtual std::int64_t now() = 0;
};

// Opaque window handle (HWND on Windows).
using WindowRef = void*;

// Buttons and icon of a message box.
enum class BoxStyle { ErrorOk, QuestionYesNo };

// Answer of a message box.
enum class BoxAnswer { Ok, Yes, No, Failed };

// User-visible output: message boxes and the standard error stream.
class UserInterface {
public:
    virtual ~UserInterface() = default;
    // An 8-bit message box; blocks until closed.
    virtual BoxAnswer messageBox(WindowRef owner, const std::string& text, const std::string& caption,
                                 BoxStyle style) = 0;
    // A UTF-16 message box; blocks until closed.
    virtual BoxAnswer messageBoxW(WindowRef owner, const std::u16string& text, const std::u16string& caption,
                                  BoxStyle style) = 0;
    // Writes 8-bit text to standard error and flushes.
    virtual void writeStderr(const std::string& text) = 0;
    // Writes UTF-16 text to standard error and flushes.
    virtual void writeStderrW(const std::u16string& text) = 0;
    // Writes 8-bit text to standard output and flushes.
    virtual void writeStdout(const std::string& text) = 0;
};

// Result of converting UTF-16 to an 8-bit code page.
struct Narrowed {
    std::string text;
    bool usedDefault = false;  // a character had no mapping and became "?"
};

// Code-page conversions; the one place where 8-bit and UTF-16 text meet.
class TextCodec {
public:
    virtual ~TextCodec() = default;
    // UTF-16 to the ANSI code page.
    virtual Narrowed toAnsi(const std::u16string& text) = 0;
    // ANSI code page to UTF-16.
    virtual std::u16string fromAnsi(const std::string& text) = 0;
    // UTF-16 to the code page of the file APIs (ANSI, or OEM when switched).
    virtual Narrowed toFileCodePage(const std::u16string& text) = 0;
    // Code page of the file APIs to UTF-16.
    virtual std::u16string fromFileCodePage(const std::string& text) = 0;
};

// How a hidden child process ended.
struct ChildRun {
    bool started = false;         // false: the process could not be created (see error)
    std::uint32_t error = 0;      // system error code when it could not be created
    std::uint32_t exitCode = 0;   // the exit code after the wait (259 when it was still running)
    bool terminated = false;      // it outlived the time-out and was terminated with exit code 1
};

// The running process itself: its module, locale, children and end.
class ProcessServices {
public:
    virtual ~ProcessServices() = default;
    // Module file name in UTF-16.
    virtual std::u16string moduleFileNameW() = 0;
    // Module file name in the 8-bit form.
    virtual std::string moduleFileNameA() = 0;
    // Whether the wide long-path service exists on this system.
    virtual bool hasWideLongPath() = 0;
    // Long form of a UTF-16 path.
    virtual std::optional<std::u16string> longPathNameW(const std::u16string& path) = 0;
    // Short (8.3) form of a UTF-16 path.
    virtual std::optional<std::u16string> shortPathNameW(const std::u16string& path) = 0;
    // This process's id.
    virtual std::uint32_t currentProcessId() = 0;
    // The console's output code page (0 without a console).
    virtual std::uint32_t consoleOutputCodePage() = 0;
    // The user's default locale identifier (LCID).
    virtual std::uint32_t userDefaultLcid() = 0;
    // The user's default UI language, when the system offers the call.
    virtual std::optional<std::uint16_t> userDefaultUiLanguage() = 0;
    // Starts a process from a command line without waiting; error receives the system code.
    virtual bool startProcess(const std::string& commandLine, std::uint32_t& error) = 0;
    // Runs a command line hidden, standard input and output none and standard error into
    // stderrFile (created anew, shared) when given; waits at most timeoutMs, terminating it then.
    virtual ChildRun runHidden(const std::string& commandLine, const std::optional<std::string>& stderrFile,
                               std::uint32_t timeoutMs) = 0;
    // Registers a handler that runs at normal (C runtime) process exit.
    virtual void atNormalExit(std::function<void()> handler) = 0;
    // Ends the process at once; exit handlers do not run.
    [[noreturn]] virtual void exitProcess(int code) = 0;
};

// Everything the core may ask of the system, bundled.
struct Platform {
    FileSystem& fs;
    Environment& env;
    Clock& clock;
    UserInterface& ui;
    TextCodec& codec;
    ProcessServices& process;
    Registry& registry;
    Libraries& libraries;
    Synchronization& sync;
    Desktop& desktop;
    SplashServices& splash;
    const PathConventions* conventions = &kWindowsConventions;  // the system's path spelling

    // How this system spells paths, lists and runtime files. A Windows build always spells them
    // the Windows way, so that the compiler drops the branches of the other spelling.
    const PathConventions& paths() const {
#ifdef _WIN32
        return kWindowsConventions;
#else
        return *conventions;
#endif
    }
};

}  // namespace zendra
