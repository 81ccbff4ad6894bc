#include "win_file_system.h"

#include "handles.h"
#include "win_file.h"

namespace zendra::win {

namespace {

// Opens path with CreateFileA; error receives the system code on failure.
UniqueHandle openHandle(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                        std::uint32_t& error) {
    UniqueHandle handle(::CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL,
                                      nullptr));
    error = handle ? 0 : ::GetLastError();
    return handle;
}

// Opens path as a plain file; nullptr (and the system code in error) on failure.
std::unique_ptr<File> openFile(const std::string& path, DWORD access, DWORD share, DWORD disposition,
                               std::uint32_t& error) {
    UniqueHandle handle = openHandle(path, access, share, disposition, error);
    if (!handle) return nullptr;
    return std::make_unique<HandleFile>(std::move(handle));
}

// The entry a search reported.
FileEntry toEntry(const WIN32_FIND_DATAA& data) {
    FileEntry entry;
    entry.name = data.cFileName;
    entry.isDirectory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    entry.lastWriteTime = (static_cast<std::uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) |
                          data.ftLastWriteTime.dwLowDateTime;
    return entry;
}

// A path service of the GetFullPathNameA kind over its input (a path, or what the service
// needs): returns the length, or the size needed including the terminator when the buffer
// is too small, or 0 on failure.
using PathCall = DWORD (*)(const void* input, char* buffer, DWORD size);

// Calls a path service, growing the buffer until the result fits.
std::optional<std::string> growingPathCall(PathCall call, const void* input) {
    std::string buffer(MAX_PATH + 1, '\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD length = call(input, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (length == 0) return std::nullopt;
        if (length < buffer.size()) {
            buffer.resize(length);
            return buffer;
        }
        buffer.assign(static_cast<std::size_t>(length) + 1, '\0');
    }
    return std::nullopt;
}

using FinalPathNameFn = DWORD(WINAPI*)(HANDLE, LPSTR, DWORD, DWORD);

// The input of a GetFinalPathNameByHandleA call: the function and the open file.
struct FinalPathInput {
    FinalPathNameFn function;
    HANDLE file;
};

// The path argument of a path service call.
const char* pathOf(const void* input) { return static_cast<const char*>(input); }

// Every kind of sharing, so that a look at a file never disturbs anybody using it.
constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// The path an existing file has once every symbolic link on the way is followed; nullopt
// when the system lacks the call or the path has no 8-bit form.
std::optional<std::string> finalPathOf(const std::string& path) {
    const auto finalPathName =
        findProcedure<FinalPathNameFn>(::GetModuleHandleW(L"Kernel32.DLL"), "GetFinalPathNameByHandleA");
    if (finalPathName == nullptr) return std::nullopt;
    std::uint32_t error = 0;
    const UniqueHandle handle = openHandle(path, 0, kShareAll, OPEN_EXISTING, error);
    if (!handle) return std::nullopt;
    const FinalPathInput input{finalPathName, handle.get()};
    auto resolved = growingPathCall(
        [](const void* in, char* buffer, DWORD size) {
            const auto* call = static_cast<const FinalPathInput*>(in);
            return call->function(call->file, buffer, size, FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
        },
        &input);
    if (!resolved) return std::nullopt;
    constexpr std::string_view unc = "\\\\?\\UNC\\";
    constexpr std::string_view local = "\\\\?\\";
    if (resolved->rfind(unc, 0) == 0)
        resolved->replace(0, unc.size(), "\\\\");
    else if (resolved->rfind(local, 0) == 0)
        resolved->erase(0, local.size());
    if (resolved->find('?') != std::string::npos) return std::nullopt;  // a character without an 8-bit form
    return resolved;
}

}  // namespace

std::unique_ptr<File> WinFileSystem::openRead(const std::string& path, std::uint32_t& error) {
    return openFile(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, error);
}

std::unique_ptr<File> WinFileSystem::createWrite(const std::string& path, std::uint32_t& error) {
    return openFile(path, GENERIC_WRITE, 0, CREATE_ALWAYS, error);
}

std::unique_ptr<File> WinFileSystem::createNew(const std::string& path, std::uint32_t& error) {
    return openFile(path, GENERIC_WRITE, 0, CREATE_NEW, error);
}

std::unique_ptr<File> WinFileSystem::openAppend(const std::string& path, std::uint32_t& error) {
    UniqueHandle handle =
        openHandle(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_ALWAYS, error);
    if (!handle) return nullptr;
    return std::make_unique<TextAppendFile>(std::move(handle));
}

std::optional<FileEntry> WinFileSystem::find(const std::string& path) {
    WIN32_FIND_DATAA data;
    UniqueFindHandle search(::FindFirstFileA(path.c_str(), &data));
    if (!search) return std::nullopt;
    return toEntry(data);
}

std::vector<FileEntry> WinFileSystem::list(const std::string& pattern) {
    std::vector<FileEntry> entries;
    WIN32_FIND_DATAA data;
    UniqueFindHandle search(::FindFirstFileA(pattern.c_str(), &data));
    if (!search) return entries;
    do {
        entries.push_back(toEntry(data));
    } while (::FindNextFileA(search.get(), &data));
    return entries;
}

bool WinFileSystem::createDirectory(const std::string& path, std::uint32_t& error) {
    const bool created = ::CreateDirectoryA(path.c_str(), nullptr) != FALSE;
    error = created ? 0 : ::GetLastError();
    return created;
}

bool WinFileSystem::removeDirectory(const std::string& path) {
    return ::RemoveDirectoryA(path.c_str()) != FALSE;
}

bool WinFileSystem::deleteFile(const std::string& path) {
    return ::DeleteFileA(path.c_str()) != FALSE;
}

bool WinFileSystem::deleteFileWithError(const std::string& path, std::uint32_t& error) {
    const bool deleted = ::DeleteFileA(path.c_str()) != FALSE;
    error = deleted ? 0 : ::GetLastError();
    return deleted;
}

bool WinFileSystem::isRegularFile(const std::string& path) {
    const DWORD attributes = ::GetFileAttributesA(path.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0)
        return false;
    // Device names such as CON or COM1 and pipes carry no attribute that tells: the type of an
    // open handle does. Opening without access rights reads nothing and waits for nobody.
    std::uint32_t error = 0;
    const UniqueHandle handle = openHandle(path, 0, kShareAll, OPEN_EXISTING, error);
    return handle && ::GetFileType(handle.get()) == FILE_TYPE_DISK;
}

std::optional<std::string> WinFileSystem::fullPathName(const std::string& path) {
    return growingPathCall(
        [](const void* in, char* buffer, DWORD size) { return ::GetFullPathNameA(pathOf(in), size, buffer, nullptr); },
        path.c_str());
}

std::optional<std::string> WinFileSystem::longPathName(const std::string& path) {
    return growingPathCall(
        [](const void* in, char* buffer, DWORD size) { return ::GetLongPathNameA(pathOf(in), buffer, size); },
        path.c_str());
}

std::optional<std::string> WinFileSystem::shortPathName(const std::string& path) {
    return growingPathCall(
        [](const void* in, char* buffer, DWORD size) { return ::GetShortPathNameA(pathOf(in), buffer, size); },
        path.c_str());
}

TempPathResult WinFileSystem::tempPath() {
    TempPathResult result;
    std::string buffer(MAX_PATH + 1, '\0');
    for (int attempt = 0; attempt < 4; ++attempt) {
        ::SetLastError(ERROR_SUCCESS);
        const DWORD length = ::GetTempPathA(static_cast<DWORD>(buffer.size()), buffer.data());
        result.error = ::GetLastError();
        result.length = length;
        if (length < buffer.size()) {
            buffer.resize(length);
            result.path = buffer;
            return result;
        }
        buffer.assign(static_cast<std::size_t>(length) + 1, '\0');
    }
    return result;
}

std::optional<std::string> WinFileSystem::tempFileName(const std::string& dir, const std::string& prefix,
                                                       std::uint32_t& error) {
    char buffer[MAX_PATH + 1] = {};
    if (::GetTempFileNameA(dir.c_str(), prefix.c_str(), 0, buffer) == 0) {
        error = ::GetLastError();
        return std::nullopt;
    }
    error = 0;
    return std::string(buffer);
}

std::string WinFileSystem::windowsDirectory() {
    auto directory = growingPathCall(
        [](const void*, char* buffer, DWORD size) { return DWORD{::GetWindowsDirectoryA(buffer, size)}; }, nullptr);
    std::string result = directory.value_or(std::string());
    if (!result.empty() && result.back() == '\\') result.pop_back();
    return result;
}

bool WinFileSystem::setCurrentDirectory(const std::string& path) {
    return ::SetCurrentDirectoryA(path.c_str()) != FALSE;
}

std::optional<std::string> WinFileSystem::searchPath(const std::string& fileName) {
    auto found = growingPathCall(
        [](const void* in, char* buffer, DWORD size) {
            return ::SearchPathA(nullptr, pathOf(in), nullptr, size, buffer, nullptr);
        },
        fileName.c_str());
    // A directory of links (as Java installers put on the search path) holds no runtime:
    // the runtime is where the link leads.
    if (!found) return found;
    return finalPathOf(*found).value_or(*found);
}

}  // namespace zendra::win
