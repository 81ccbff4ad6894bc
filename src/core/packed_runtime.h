// Restoring the pack200-compressed jars of a runtime with the runtime's own unpacker.
#pragma once

#include <string>

#include "launcher.h"

namespace zendra {

// Unpacks the packed jars of a runtime directory once: only when "lib\\rt.jar.pack" exists
// and "lib\\jsse.jar" does not. False when the runtime's unpacker cannot be started: such a
// half-delivered runtime is unusable, and the caller passes it over.
bool unpackJars(Launcher& l, const std::string& dir);

// Unpacks one ".pack" file next to itself with the unpacker of javaHome and deletes it; a
// missing file is skipped; an unpacker that cannot be started ends the process.
void runUnpack200(Launcher& l, const std::string& javaHome, const std::string& packFile);

// As runUnpack200, but an unpacker that cannot be started only makes the result false.
bool tryUnpack200(Launcher& l, const std::string& javaHome, const std::string& packFile);

}  // namespace zendra
