// Catch-all guards around code from which nothing may leave (thread entries, window and dialog
// procedures, service handlers, hooks the Java VM calls).
//
// The Windows launchers are built without exceptions: nothing in them throws, and running out
// of memory ends the process with a report. There the guards compile to the guarded block alone;
// where exceptions exist (the Linux edition, the host's tests) they catch everything.
#pragma once

#if defined(__cpp_exceptions)
// Opens a guarded block.
#define ZENDRA_TRY try
// Opens the block that runs instead when the guarded block throws.
#define ZENDRA_CATCH_ALL catch (...)
#else
#define ZENDRA_TRY if (true)
#define ZENDRA_CATCH_ALL else
#endif
