/* A stand-in for a Java runtime's splashscreen.dll in tests. Each call appends one line to
 * the file named by ZENDRA_SPLASH_DOUBLE_RECORD (CR LF after each line):
 *   SplashInit
 *   SplashLoadMemory <size> <first bytes as hex, at most 16>
 *   SplashClose
 * SplashLoadMemory returns 1. Test-only code. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <stdio.h>
#include <string.h>

/* Appends a line to the record, when one is named. */
static void record(const char* line) {
    char path[MAX_PATH * 4];
    const DWORD length = GetEnvironmentVariableA("ZENDRA_SPLASH_DOUBLE_RECORD", path, sizeof path);
    if (length == 0 || length >= sizeof path) return;
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, line, (DWORD)strlen(line), &written, NULL);
    WriteFile(file, "\r\n", 2, &written, NULL);
    CloseHandle(file);
}

__declspec(dllexport) void SplashInit(void) {
    record("SplashInit");
}

__declspec(dllexport) int SplashLoadMemory(void* data, int size) {
    char line[96];
    int at = snprintf(line, sizeof line, "SplashLoadMemory %d ", size);
    for (int i = 0; i < size && i < 16; ++i) at += snprintf(line + at, sizeof line - (size_t)at, "%02x", ((unsigned char*)data)[i]);
    record(line);
    return 1;
}

__declspec(dllexport) void SplashClose(void) {
    record("SplashClose");
}
