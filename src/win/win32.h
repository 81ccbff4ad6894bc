// The single point where the Windows API headers enter the build.
// Every Win32 source includes this header instead of <windows.h>.
#pragma once

#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
// The generic (unsuffixed) names map to the wide functions; the launchers still call
// the A and W forms explicitly wherever the character width matters.
#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif

#include <windows.h>

// With UNICODE defined the SDK headers declare only the wide form of this function; the
// 8-bit form is exported by Kernel32.DLL all the same.
#ifdef __cplusplus
extern "C" WINBASEAPI LPCH WINAPI GetEnvironmentStringsA(VOID);
#endif
