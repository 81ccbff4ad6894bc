// What the packaging tool writes behind a launcher: the configuration record and the
// included files, and the byte encoding of both.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "record.h"

namespace zendra::pack {

// A refusal or failure of the tool; what() is the one-line message shown to the user.
class PackError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// One file carried behind the record; name is relative, "\\" separating one directory level.
struct IncludedFile {
    std::string name;
    std::vector<std::uint8_t> data;
};

// What a resource file of the description is for.
enum class ResourceRole {
    SplashBitmap,  // bitmap 10000, painted by the launcher's splash window
    SplashImage,   // rcdata 10000, handed to the Java runtime's splash library as it is
    SplashIcon,    // icon group "ID_SPLASH_ICON", the splash window's class icon
    Icon,          // icon group 1001, the application's icon
};

// One resource file named by the description, with its bytes.
struct ResourceFile {
    ResourceRole role = ResourceRole::SplashImage;
    std::vector<std::uint8_t> data;
};

// Everything a packaged launcher carries, in record order (duplicates kept); the resources
// go into the launcher image itself, before the record.
struct Package {
    std::int32_t integrityFlag = 1;
    std::vector<std::pair<std::int32_t, std::string>> strings;
    std::vector<std::pair<std::int32_t, std::u16string>> messages;
    std::vector<LanguageBlock> languages;
    std::vector<IncludedFile> files;
    std::vector<ResourceFile> resources;
};

// Mask applied to every byte of included-file data.
inline constexpr std::uint8_t kIncludedFileMask = 0x5A;

// Offset of the first byte covered by the checksum, counted from the record's start.
inline constexpr std::size_t kCoveredStart = 20;

// Record bytes (fields 1 to 10) followed by the included-file data, with the checksum
// and the covered length filled in (the checksum is written whatever the flag says).
std::vector<std::uint8_t> encodeRecord(const Package& package);

// Why name cannot be used as an included file's relative name ("..", a drive, a leading
// separator, an empty part, a Windows device name such as NUL or com9.txt in any part);
// nullopt when it is safe. Both "\\" and "/" count as separators.
std::optional<std::string> unsafeNameReason(std::string_view name);

// The host path of an included file's relative name below dir ("\\" and "/" separate levels).
std::filesystem::path hostPath(const std::filesystem::path& dir, std::string_view name);

// The host path of UTF-8 text (also on Windows, where a narrow path would be read in the ANSI
// code page).
std::filesystem::path pathFromUtf8(std::string_view text);

// The UTF-8 text of a host path, for messages and descriptions.
std::string utf8Of(const std::filesystem::path& path);

// CRC-32 (zlib) of bytes.
std::uint32_t checksum(const std::uint8_t* bytes, std::size_t size);

// The size of gzip-compressed data once inflated (every member in turn); nullopt when the
// bytes are not a complete gzip stream.
std::optional<std::uint64_t> inflatedSize(const std::vector<std::uint8_t>& gzip);

}  // namespace zendra::pack
