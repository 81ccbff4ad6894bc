// Path arithmetic of the POSIX layer that needs no system call.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

namespace zendra::posix {

// path made absolute against cwd (an absolute directory) with "." and ".." resolved and
// repeated "/" collapsed, without looking at the file system; a trailing "/" is kept.
std::string absoluteLexical(std::string_view path, std::string_view cwd);

// Whether name matches a Windows-style wildcard: "*.*" (and "*") match every name,
// otherwise "*" matches any run of characters and "?" exactly one; all else is literal.
bool matchesWildcard(std::string_view pattern, std::string_view name);

// A time as FILETIME units: 100 ns steps since 1601-01-01 UTC (0 before then).
std::uint64_t fileTimeFrom(const timespec& time);

// The last component of a path ("/" for the root, trailing "/" ignored).
std::string lastComponent(std::string_view path);

}  // namespace zendra::posix
