/* A stand-in for a Java runtime's jvm.dll in tests.
 *
 * When ZENDRA_JVM_DOUBLE_LOG names a file, loading the library appends "loaded <time>" and
 * each JNI_CreateJavaVM call appends "create <time>" to it (time: the system time in
 * FILETIME units, decimal, CR LF after each line). JNI_CreateJavaVM fails with JNI_ERR.
 * Built with JVM_DOUBLE_NO_EXPORT defined, the library lacks JNI_CreateJavaVM. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <string.h>

typedef long jint;
struct JNIInvokeInterface_;
typedef const struct JNIInvokeInterface_* JavaVM;
#define JNI_ERR (-1)

/* Appends "<event> <now>" and CR LF to the log file, when one is named. */
static void logEvent(const char* event) {
    char path[MAX_PATH * 4];
    const DWORD length = GetEnvironmentVariableA("ZENDRA_JVM_DOUBLE_LOG", path, sizeof path);
    if (length == 0 || length >= sizeof path) return;
    FILETIME now;
    GetSystemTimePreciseAsFileTime(&now);
    unsigned long long ticks = ((unsigned long long)now.dwHighDateTime << 32) | now.dwLowDateTime;
    char digits[24];
    size_t count = 0;
    do {
        digits[count++] = (char)('0' + ticks % 10);
        ticks /= 10;
    } while (ticks > 0);
    char line[64];
    size_t at = strlen(event);
    memcpy(line, event, at);
    line[at++] = ' ';
    while (count > 0) line[at++] = digits[--count];
    line[at++] = '\r';
    line[at++] = '\n';
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, line, (DWORD)at, &written, NULL);
    CloseHandle(file);
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID reserved) {
    (void)instance;
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) logEvent("loaded");
    return TRUE;
}

#ifndef JVM_DOUBLE_NO_EXPORT
/* The invocation API's entry: records the call and fails. */
__declspec(dllexport) jint __stdcall JNI_CreateJavaVM(JavaVM** vm, void** env, void* args) {
    (void)args;
    logEvent("create");
    if (vm != NULL) *vm = NULL;
    if (env != NULL) *env = NULL;
    return JNI_ERR;
}
#endif
