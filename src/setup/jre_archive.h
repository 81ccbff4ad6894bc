// The installer's own runtime: the integrity check of the appended data and the runtime
// delivered as "jre.tar.gz" (unpacking, packed jars, loading).
#pragma once

#include <cstdint>
#include <string>

#include "installer_progress.h"
#include "launcher.h"

namespace zendra::setup {

// The runtime archive's name, in the working directory.
inline constexpr const char* kJreArchiveName = "jre.tar.gz";

// A name of the working directory (the current one) as a full path; the name itself when the
// system gives none.
std::string inWorkingDirectory(Launcher& l, const char* name);

// Loads an installed runtime found by the search, without error boxes; false when none fits.
bool loadInstalledJre(Launcher& l);

// Checks the CRC-32 over the data appended to the own executable; returns when it is intact
// (or when checkEnabled is false, "-nocheck"), else shows message 20016 (owned by
// errorOwnerWindow when there is a dialog; also in quiet runs) and ends the process with exit
// code 1. Moves the bar over 0..100.
void verifyIntegrity(Launcher& l, InstallerProgress* dialog, bool checkEnabled);

// Unpacks "jre.tar.gz" of the current directory into "jre", deletes the archive, restores
// packed jars (property 153), then useIncludedJre. Ends the process on failure.
void prepareIncludedJre(Launcher& l, InstallerProgress* dialog);

// Whether the included files (property 2003, up to the count of property 2002) list
// "jre.tar.gz": an empty one is listed but never written out, and is then a damaged bundle.
bool bundlesJreArchive(const Launcher& l);

// Loads the runtime in "jre" of the current directory, else falls back to the search; ends
// the process when neither gives a runtime.
void useIncludedJre(Launcher& l);

// Unpacks a gzip-compressed tar archive into targetDir; true on success. Nothing is written
// outside targetDir. expectedSize (property 151) scales the bar over 100..200.
bool untarGz(Launcher& l, const std::string& archive, const std::string& targetDir, InstallerProgress* dialog,
             std::int64_t expectedSize);

}  // namespace zendra::setup
