// Path services: the own executable, relative paths, temporary directories, clean-up.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "launcher.h"

namespace zendra {

// The own executable's path in a form the 8-bit file calls can open (cached).
const std::string& getExecutablePath(Launcher& l);

// The directory of the executable, ending with a separator (cached).
const std::string& getExecutableDirectory(Launcher& l);

// Whether a path counts as relative (Windows: no drive root, not UNC; Linux: no leading "/").
bool isRelativePath(std::string_view path, const PathConventions& conventions = kWindowsConventions);

// Replaces runs of separators by one, keeping a leading pair (a UNC root).
void collapseBackslashes(std::string& path, TextCodec& codec, const PathConventions& conventions = kWindowsConventions);

// Lower-cases ASCII capitals in a path.
void lowerCasePath(std::string& path, TextCodec& codec);

// Prefixes relative paths (in the system's separators) with the reference file's (or the executable's) directory; collapses.
std::string resolvePath(Launcher& l, std::string_view path, const std::string* referenceFile = nullptr);

// resolvePath, normalised by the system, lower-cased unless keepCase.
std::string getFullPath(Launcher& l, const std::string& path, bool keepCase);

// Whether a file or directory exists; drive roots always do.
bool pathExists(Launcher& l, const std::string& path);

// The last-write time of a path, when it exists.
std::optional<std::uint64_t> getFileWriteTime(Launcher& l, const std::string& path);

// Resolves each entry of a ";"-separated list into a list in the system's form; empty entries vanish.
std::string resolvePathList(Launcher& l, std::string_view list);

// Names in a directory ending with the extension, in search order.
std::vector<std::string> listFilesWithExtension(Launcher& l, const std::string& dir, std::string_view extension);

// A writable temporary directory ending with a separator; fatal when there is none.
std::string getTempDirectory(Launcher& l);

// Whether a probe directory can be created in dir.
bool isWritableDirectory(Launcher& l, std::string_view dir);

// A unique temporary file name (the empty file usually exists afterwards).
std::string createTempFileName(Launcher& l);

// A directory for files only this user's processes may see, ending with a separator: the
// temporary directory on Windows, the user's private directory elsewhere; fatal when none.
std::string getPrivateDirectory(Launcher& l);

// The hand-over file name for a process id, in the private directory.
std::string getPidFileName(Launcher& l, std::uint32_t processId);

// Creates the per-run directory into l.launcherTempDir (in the private directory, only the
// user may enter it); fatal after 10 failed attempts.
void createLauncherTempDir(Launcher& l);

// Deletes the files of dir, and with recurse its sub-directories' files and the sub-directories.
void emptyDirectory(Launcher& l, const std::string& dir, bool recurse);

}  // namespace zendra
