#include "test_directory.h"

#include <stdexcept>

#include "handles.h"

namespace zendra::win::test {

namespace {

// Deletes a directory tree with the plain Win32 API.
void removeTree(const std::string& directory) {
    WIN32_FIND_DATAA data;
    UniqueFindHandle search(::FindFirstFileA((directory + "\\*").c_str(), &data));
    if (search) {
        do {
            const std::string name = data.cFileName;
            if (name == "." || name == "..") continue;
            const std::string path = directory + "\\" + name;
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                removeTree(path);
            } else {
                ::SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileA(path.c_str());
            }
        } while (::FindNextFileA(search.get(), &data));
    }
    search.reset();
    ::RemoveDirectoryA(directory.c_str());
}

}  // namespace

TestDirectory::TestDirectory() {
    char temp[MAX_PATH + 1] = {};
    if (::GetTempPathA(sizeof temp, temp) == 0) throw std::runtime_error("GetTempPathA failed");
    for (unsigned attempt = 0; attempt < 100 && path_.empty(); ++attempt) {
        const std::string candidate = std::string(temp) + "zwt" + std::to_string(::GetCurrentProcessId()) + "_" +
                                      std::to_string(::GetTickCount() + attempt);
        if (::CreateDirectoryA(candidate.c_str(), nullptr)) path_ = candidate;
    }
    if (path_.empty()) throw std::runtime_error("cannot create a test directory");
}

TestDirectory::~TestDirectory() {
    ::SetCurrentDirectoryA("C:\\");
    removeTree(path_);
}

void writeRawFile(const std::string& path, const std::string& bytes) {
    UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                                    nullptr));
    DWORD written = 0;
    if (!file || !::WriteFile(file.get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) ||
        written != bytes.size()) {
        throw std::runtime_error("cannot write " + path);
    }
}

std::string readRawFile(const std::string& path) {
    UniqueHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                    OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    std::string content;
    char buffer[4096];
    DWORD got = 0;
    while (file && ::ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr) && got > 0) content.append(buffer, got);
    return content;
}

}  // namespace zendra::win::test
