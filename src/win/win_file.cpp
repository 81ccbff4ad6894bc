#include "win_file.h"

#include <algorithm>
#include <string>

namespace zendra::win {

namespace {

// A request size as the DWORD the file functions take (a larger request moves fewer bytes).
DWORD chunkSize(std::size_t size) {
    return static_cast<DWORD>(std::min<std::size_t>(size, MAXDWORD));
}

// The outcome of one ReadFile or WriteFile; error is captured by the caller right after it.
IoResult ioResult(BOOL succeeded, DWORD moved, DWORD error) {
    IoResult result;
    result.bytes = moved;
    result.ok = succeeded != FALSE;
    result.error = result.ok ? 0 : error;
    return result;
}

// How many bytes of text produced the first stored bytes of its CR LF translation.
std::size_t consumedBytes(const char* text, std::size_t size, std::size_t stored) {
    std::size_t consumed = 0;
    std::size_t output = 0;
    while (consumed < size) {
        const std::size_t width = text[consumed] == '\n' ? 2 : 1;
        if (output + width > stored) break;
        output += width;
        ++consumed;
    }
    return consumed;
}

}  // namespace

IoResult HandleFile::read(void* buffer, std::size_t size) {
    DWORD moved = 0;
    const BOOL succeeded = ::ReadFile(handle(), buffer, chunkSize(size), &moved, nullptr);
    return ioResult(succeeded, moved, ::GetLastError());
}

IoResult HandleFile::write(const void* buffer, std::size_t size) {
    DWORD moved = 0;
    const BOOL succeeded = ::WriteFile(handle(), buffer, chunkSize(size), &moved, nullptr);
    return ioResult(succeeded, moved, ::GetLastError());
}

bool HandleFile::seek(std::uint64_t position) {
    LARGE_INTEGER distance;
    distance.QuadPart = static_cast<LONGLONG>(position);
    return ::SetFilePointerEx(handle(), distance, nullptr, FILE_BEGIN) != FALSE;
}

std::uint64_t HandleFile::position() {
    LARGE_INTEGER zero;
    zero.QuadPart = 0;
    LARGE_INTEGER current;
    current.QuadPart = 0;
    if (!::SetFilePointerEx(handle(), zero, &current, FILE_CURRENT)) return 0;
    return static_cast<std::uint64_t>(current.QuadPart);
}

std::optional<std::uint64_t> HandleFile::size() {
    LARGE_INTEGER length;
    if (!::GetFileSizeEx(handle(), &length)) return std::nullopt;
    return static_cast<std::uint64_t>(length.QuadPart);
}

IoResult TextAppendFile::write(const void* buffer, std::size_t size) {
    const char* text = static_cast<const char*>(buffer);
    std::string translated;
    translated.reserve(size + size / 16 + 2);
    for (std::size_t i = 0; i < size; ++i) {
        if (text[i] == '\n') translated.push_back('\r');
        translated.push_back(text[i]);
    }
    LARGE_INTEGER zero;
    zero.QuadPart = 0;
    if (!::SetFilePointerEx(handle(), zero, nullptr, FILE_END)) return ioResult(FALSE, 0, ::GetLastError());
    DWORD moved = 0;
    const BOOL succeeded =
        ::WriteFile(handle(), translated.data(), chunkSize(translated.size()), &moved, nullptr);
    IoResult result = ioResult(succeeded, moved, ::GetLastError());
    result.bytes = consumedBytes(text, size, moved);
    return result;
}

}  // namespace zendra::win
