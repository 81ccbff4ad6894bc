// add_resource: a test-only program that adds resources to a copy of a launcher before it is
// packaged (the tests' stand-in for resources added when an application is packaged).
//   add_resource TARGET.exe TYPE ID FILE [TYPE ID FILE]...
// TYPE and ID are decimal; a bitmap (type 2) is given as a .bmp file, whose 14-byte file
// header is left out as the resource format wants. Exit code 0, or 1 with a line on stderr.
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "win32.h"

namespace {

constexpr int kBitmapType = 2;
constexpr std::size_t kBmpFileHeader = 14;

int fail(const std::wstring& what, DWORD error) {
    std::fwprintf(stderr, L"add_resource: %ls failed (error %lu)\n", what.c_str(), static_cast<unsigned long>(error));
    return 1;
}

// The resource bytes of one file.
bool resourceBytes(const wchar_t* path, int type, std::vector<char>& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    if (type != kBitmapType) return true;
    if (bytes.size() < kBmpFileHeader || bytes[0] != 'B' || bytes[1] != 'M') return false;
    bytes.erase(bytes.begin(), bytes.begin() + kBmpFileHeader);
    return true;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 5 || (argc - 2) % 3 != 0) {
        std::fwprintf(stderr, L"usage: add_resource TARGET.exe TYPE ID FILE [TYPE ID FILE]...\n");
        return 2;
    }
    const HANDLE update = ::BeginUpdateResourceW(argv[1], FALSE);
    if (update == nullptr) return fail(L"BeginUpdateResourceW", ::GetLastError());
    for (int i = 2; i + 2 < argc; i += 3) {
        const int type = std::wcstol(argv[i], nullptr, 10);
        const int id = std::wcstol(argv[i + 1], nullptr, 10);
        std::vector<char> bytes;
        if (!resourceBytes(argv[i + 2], type, bytes)) {
            ::EndUpdateResourceW(update, TRUE);
            return fail(std::wstring(L"reading ") + argv[i + 2], ERROR_INVALID_DATA);
        }
        if (!::UpdateResourceW(update, MAKEINTRESOURCEW(type), MAKEINTRESOURCEW(id), 0, bytes.data(),
                               static_cast<DWORD>(bytes.size()))) {
            const DWORD error = ::GetLastError();
            ::EndUpdateResourceW(update, TRUE);
            return fail(L"UpdateResourceW", error);
        }
    }
    if (!::EndUpdateResourceW(update, FALSE)) return fail(L"EndUpdateResourceW", ::GetLastError());
    return 0;
}
