// The per-user directory for files that only this user's own processes may see: semaphore
// lock files, the single-instance hand-over file and the per-run directories.
#pragma once

#include <string>

namespace zendra::posix {

// $XDG_RUNTIME_DIR/zendra when XDG_RUNTIME_DIR is an absolute directory of this user's own
// that no one else may write to; otherwise "/tmp/zendra-<uid>".
std::string userRuntimeDirectory();

// Makes sure dir is a directory (not a link) owned by this user with mode 0700, creating it
// when missing and tightening a looser mode; 0 when it is, else the errno (EACCES when the
// directory belongs to someone else, ENOTDIR when it is no directory).
int preparePrivateDirectory(const std::string& dir);

}  // namespace zendra::posix
