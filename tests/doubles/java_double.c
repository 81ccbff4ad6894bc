/* A stand-in for a Java runtime's java.exe (and, copied, javaw.exe) in tests.
 *
 * It reads java-double.cfg from its own directory: "key=value" lines with
 *   stderr=TEXT    a line for standard error (repeatable; written in order, each with CR LF)
 *   exit=N         the exit code (default 0)
 *   delay_ms=N     how long "-version" sleeps before writing (default 0)
 * With the argument -version it sleeps, writes the stderr lines and exits with the code;
 * any other run only exits with the code. Without a cfg file it behaves as a Java 8 runtime
 * that prints java version "1.8.0_302". Every run appends its command line and CR LF to
 * java-double.runs in the same directory. */
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <stdlib.h>
#include <string.h>

#define MAX_LINES 64
#define CFG_LIMIT 65536

static char cfgText[CFG_LIMIT + 1];

struct Behaviour {
    const char* lines[MAX_LINES];
    int lineCount;
    int exitCode;
    DWORD delayMs;
};

/* The directory of this executable with a trailing backslash, followed by name. */
static void besideSelf(char* out, DWORD size, const char* name) {
    DWORD length = GetModuleFileNameA(NULL, out, size);
    if (length == 0 || length >= size) length = 0;
    out[length] = '\0';
    char* slash = strrchr(out, '\\');
    if (slash != NULL) slash[1] = '\0';
    else out[0] = '\0';
    if (strlen(out) + strlen(name) < size) strcat(out, name);
}

/* Writes all bytes to a handle; a missing handle swallows them. */
static void writeAll(HANDLE handle, const char* bytes, size_t size) {
    DWORD written = 0;
    if (handle == NULL || handle == INVALID_HANDLE_VALUE) return;
    while (size > 0 && WriteFile(handle, bytes, (DWORD)size, &written, NULL) && written > 0) {
        bytes += written;
        size -= written;
    }
}

/* Appends this run's command line to the runs file. */
static void recordRun(void) {
    char path[MAX_PATH * 4];
    besideSelf(path, sizeof path, "java-double.runs");
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return;
    const char* commandLine = GetCommandLineA();
    writeAll(file, commandLine, strlen(commandLine));
    writeAll(file, "\r\n", 2);
    CloseHandle(file);
}

/* Takes one "key=value" line of the cfg file into the behaviour. */
static void applySetting(struct Behaviour* behaviour, char* line) {
    char* equals = strchr(line, '=');
    if (equals == NULL) return;
    *equals = '\0';
    const char* value = equals + 1;
    if (strcmp(line, "stderr") == 0 && behaviour->lineCount < MAX_LINES) {
        behaviour->lines[behaviour->lineCount++] = value;
    } else if (strcmp(line, "exit") == 0) {
        behaviour->exitCode = (int)strtol(value, NULL, 10);
    } else if (strcmp(line, "delay_ms") == 0) {
        behaviour->delayMs = (DWORD)strtoul(value, NULL, 10);
    }
}

/* Reads the cfg file; 0 when there is none. */
static int readConfig(struct Behaviour* behaviour) {
    char path[MAX_PATH * 4];
    besideSelf(path, sizeof path, "java-double.cfg");
    HANDLE file = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, NULL);
    if (file == INVALID_HANDLE_VALUE) return 0;
    DWORD size = 0;
    DWORD got = 0;
    while (size < CFG_LIMIT && ReadFile(file, cfgText + size, CFG_LIMIT - size, &got, NULL) && got > 0) size += got;
    CloseHandle(file);
    cfgText[size] = '\0';
    for (char* line = strtok(cfgText, "\r\n"); line != NULL; line = strtok(NULL, "\r\n")) {
        applySetting(behaviour, line);
    }
    return 1;
}

int main(int argc, char** argv) {
    struct Behaviour behaviour = {{NULL}, 0, 0, 0};
    recordRun();
    if (!readConfig(&behaviour)) {
        behaviour.lines[0] = "java version \"1.8.0_302\"";
        behaviour.lineCount = 1;
    }
    int version = 0;
    for (int i = 1; i < argc; ++i) version = version || strcmp(argv[i], "-version") == 0;
    if (!version) return behaviour.exitCode;
    if (behaviour.delayMs > 0) Sleep(behaviour.delayMs);
    HANDLE error = GetStdHandle(STD_ERROR_HANDLE);
    for (int i = 0; i < behaviour.lineCount; ++i) {
        writeAll(error, behaviour.lines[i], strlen(behaviour.lines[i]));
        writeAll(error, "\r\n", 2);
    }
    return behaviour.exitCode;
}
