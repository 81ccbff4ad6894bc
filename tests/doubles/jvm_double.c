/* A stand-in for a Java runtime's jvm.dll in tests.
 *
 * Timing log: when ZENDRA_JVM_DOUBLE_LOG names a file, loading the library appends
 * "loaded <time>" and each JNI_CreateJavaVM call appends "create <time>" to it (time: the
 * system time in FILETIME units, decimal, CR LF after each line).
 *
 * Scenario: the text of ZENDRA_JVM_DOUBLE_SCENARIO, else of the file jvm-double.scenario
 * beside the library, is a list of words separated by white space:
 *   fail-create       JNI_CreateJavaVM fails with JNI_ERR
 *   return            main returns normally (the default once a scenario exists)
 *   exit=N            main ends the process with ExitProcess(N), as System.exit(N) would
 *   sleep=MS          main runs MS milliseconds before it ends (a running application)
 *   throw             main leaves an exception pending
 *   no-class[=NAME]   FindClass fails for NAME (without a name: for all but java/lang/String)
 *   no-method[=NAME]  GetStaticMethodID fails for NAME (without a name: for every method)
 *   firstrun=true|false|throw   what a static boolean method (the first-run hook) does
 *   action=N          what a static int method returns
 *   text=WORD         what a static String method returns (none: null)
 *   await=PATH        JNI_CreateJavaVM first waits until the file PATH exists (a test's
 *                     go-ahead; after 60 s it records a fault and goes on)
 *   service           main plays a Java service: it reads standard input until the line "0"
 *                     (the service launcher's shutdown line) or its end, recording each line
 *                     as "stdin <line>" (the end as "stdin-end"), then ends as told; VM
 *                     creation records the process's "commandLine"
 *   record=PATH       the record file when ZENDRA_JVM_DOUBLE_RECORD is unset (for a process
 *                     that does not inherit the test's environment, such as a service); the
 *                     lines before this word are not recorded
 * Without any scenario JNI_CreateJavaVM fails, as a VM that cannot start.
 *
 * Record: when ZENDRA_JVM_DOUBLE_RECORD names a file, every JNI call of interest appends one
 * line "<event> <payload>" ending in LF (the format is in recordBytes; events in
 * JNI_CreateJavaVM below and in jvm_double_env.c; the two attach forms are recorded as
 * "AttachCurrentThread" and "AttachCurrentThreadAsDaemon"). Lines "fault ..." mark JNI misuse.
 *
 * Built with JVM_DOUBLE_NO_EXPORT defined, the library lacks JNI_CreateJavaVM. */
#include "jvm_double.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

struct Scenario scenario;

static HINSTANCE self;
static CRITICAL_SECTION recordLock;
static DWORD attached[32];

/* Appends "<event> <now>" and CR LF to the timing log, when one is named. */
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
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        self = instance;
        InitializeCriticalSection(&recordLock);
        logEvent("loaded");
    }
    return TRUE;
}

void* allocate(size_t size) {
    void* block = HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, size ? size : 1);
    if (block == NULL) ExitProcess(70);
    return block;
}

char* copyText(const char* text) {
    const size_t length = strlen(text);
    char* copy = allocate(length + 1);
    memcpy(copy, text, length);
    return copy;
}

/* A growing byte buffer for one record line. */
struct Line {
    char* data;
    size_t used;
    size_t size;
};

static void put(struct Line* line, char byte) {
    if (line->used == line->size) {
        const size_t size = line->size ? line->size * 2 : 256;
        char* data = allocate(size);
        if (line->used) memcpy(data, line->data, line->used);
        if (line->data) HeapFree(GetProcessHeap(), 0, line->data);
        line->data = data;
        line->size = size;
    }
    line->data[line->used++] = byte;
}

/* Puts a byte as "%XX". */
static void putEscaped(struct Line* line, unsigned char byte) {
    static const char hex[] = "0123456789ABCDEF";
    put(line, '%');
    put(line, hex[byte >> 4]);
    put(line, hex[byte & 15]);
}

/* Puts a payload byte: control bytes (below 32, and 127) and '%' are escaped, the rest is kept. */
static void putPayload(struct Line* line, unsigned char byte) {
    if (byte < 32 || byte == 127 || byte == '%')
        putEscaped(line, byte);
    else
        put(line, (char)byte);
}

/* Appends the finished line to the record file, when one is named, and frees it. */
static void writeLine(struct Line* line) {
    WCHAR path[MAX_PATH * 4];
    DWORD length = GetEnvironmentVariableW(L"ZENDRA_JVM_DOUBLE_RECORD", path, MAX_PATH * 4);
    if (length == 0 && scenario.recordFile[0] != '\0')
        length = (DWORD)MultiByteToWideChar(CP_ACP, 0, scenario.recordFile, -1, path, MAX_PATH * 4) - 1;
    if (length > 0 && length < MAX_PATH * 4) {
        EnterCriticalSection(&recordLock);
        HANDLE file = CreateFileW(path, FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE, NULL, OPEN_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, NULL);
        if (file != INVALID_HANDLE_VALUE) {
            DWORD written = 0;
            WriteFile(file, line->data, (DWORD)line->used, &written, NULL);
            CloseHandle(file);
        }
        LeaveCriticalSection(&recordLock);
    }
    HeapFree(GetProcessHeap(), 0, line->data);
}

static void startLine(struct Line* line, const char* event, int withPayload) {
    line->data = NULL;
    line->used = line->size = 0;
    for (const char* c = event; *c; ++c) put(line, *c);
    if (withPayload) put(line, ' ');
}

/* The record format: the event name, a space and the payload bytes, then LF. In the payload
 * bytes below 32, byte 127 and '%' appear as %XX (upper-case hex); all other bytes as they
 * are (8-bit option texts keep their code page bytes, strings are UTF-8). */
void recordBytes(const char* event, const char* payload, size_t length) {
    struct Line line;
    startLine(&line, event, payload != NULL);
    for (size_t i = 0; payload != NULL && i < length; ++i) putPayload(&line, (unsigned char)payload[i]);
    put(&line, '\n');
    writeLine(&line);
}

void recordText(const char* event, const char* payload) {
    recordBytes(event, payload, payload ? strlen(payload) : 0);
}

/* Puts one code point as UTF-8; a lone surrogate's three bytes are escaped so that the line
 * stays valid UTF-8 (Python reads them back with the "surrogatepass" error handler). */
static void putCodePoint(struct Line* line, unsigned long c, int lone) {
    unsigned char bytes[4];
    int count;
    if (c < 0x80) {
        bytes[0] = (unsigned char)c;
        count = 1;
    } else if (c < 0x800) {
        bytes[0] = (unsigned char)(0xC0 | (c >> 6));
        bytes[1] = (unsigned char)(0x80 | (c & 0x3F));
        count = 2;
    } else if (c < 0x10000) {
        bytes[0] = (unsigned char)(0xE0 | (c >> 12));
        bytes[1] = (unsigned char)(0x80 | ((c >> 6) & 0x3F));
        bytes[2] = (unsigned char)(0x80 | (c & 0x3F));
        count = 3;
    } else {
        bytes[0] = (unsigned char)(0xF0 | (c >> 18));
        bytes[1] = (unsigned char)(0x80 | ((c >> 12) & 0x3F));
        bytes[2] = (unsigned char)(0x80 | ((c >> 6) & 0x3F));
        bytes[3] = (unsigned char)(0x80 | (c & 0x3F));
        count = 4;
    }
    for (int i = 0; i < count; ++i) {
        if (lone)
            putEscaped(line, bytes[i]);
        else
            putPayload(line, bytes[i]);
    }
}

void recordUtf16(const char* event, const jchar* chars, jsize length) {
    struct Line line;
    startLine(&line, event, 1);
    for (jsize i = 0; i < length; ++i) {
        const unsigned long c = chars[i];
        const int high = c >= 0xD800 && c < 0xDC00;
        if (high && i + 1 < length && chars[i + 1] >= 0xDC00 && chars[i + 1] < 0xE000) {
            putCodePoint(&line, 0x10000 + ((c - 0xD800) << 10) + (chars[i + 1] - 0xDC00UL), 0);
            ++i;
        } else {
            putCodePoint(&line, c, c >= 0xD800 && c < 0xE000);
        }
    }
    put(&line, '\n');
    writeLine(&line);
}

void recordFault(const char* text) {
    recordText("fault", text);
}

int threadIsAttached(void) {
    const DWORD id = GetCurrentThreadId();
    for (size_t i = 0; i < sizeof attached / sizeof attached[0]; ++i)
        if (attached[i] == id) return 1;
    return 0;
}

/* Everything below serves JNI_CreateJavaVM, which the export-less variant lacks. */
#ifndef JVM_DOUBLE_NO_EXPORT
static int vmCreated;

/* Copies value into a fixed field, cut to its size. */
static void setField(char* field, size_t size, const char* value) {
    const size_t length = strlen(value) < size - 1 ? strlen(value) : size - 1;
    memcpy(field, value, length);
    field[length] = '\0';
}

/* Applies one scenario word. */
static void applyWord(const char* word) {
    if (strcmp(word, "fail-create") == 0) scenario.failCreate = 1;
    else if (strcmp(word, "return") == 0) scenario.main = MAIN_RETURNS;
    else if (strcmp(word, "throw") == 0) scenario.main = MAIN_THROWS;
    else if (strncmp(word, "sleep=", 6) == 0) scenario.mainSleepMs = atoi(word + 6);
    else if (strncmp(word, "exit=", 5) == 0) scenario.main = MAIN_EXITS, scenario.exitCode = atoi(word + 5);
    else if (strcmp(word, "no-class") == 0) setField(scenario.missingClass, sizeof scenario.missingClass, "*");
    else if (strncmp(word, "no-class=", 9) == 0) setField(scenario.missingClass, sizeof scenario.missingClass, word + 9);
    else if (strcmp(word, "no-method") == 0) setField(scenario.missingMethod, sizeof scenario.missingMethod, "*");
    else if (strncmp(word, "no-method=", 10) == 0) setField(scenario.missingMethod, sizeof scenario.missingMethod, word + 10);
    else if (strcmp(word, "firstrun=true") == 0) scenario.firstRunResult = 1;
    else if (strcmp(word, "firstrun=false") == 0) scenario.firstRunResult = 0;
    else if (strcmp(word, "firstrun=throw") == 0) scenario.firstRunResult = -1;
    else if (strncmp(word, "action=", 7) == 0) scenario.action = atoi(word + 7);
    else if (strncmp(word, "text=", 5) == 0) setField(scenario.text, sizeof scenario.text, word + 5);
    else if (strncmp(word, "await=", 6) == 0) setField(scenario.awaitFile, sizeof scenario.awaitFile, word + 6);
    else if (strcmp(word, "service") == 0) scenario.service = 1;
    else if (strncmp(word, "record=", 7) == 0) setField(scenario.recordFile, sizeof scenario.recordFile, word + 7);
    else {
        char text[300];
        snprintf(text, sizeof text, "unknown scenario word %.200s", word);
        recordFault(text);
    }
}

/* The scenario text from the environment or from jvm-double.scenario beside the library;
 * false when there is neither. */
static int readScenarioText(char* text, DWORD size) {
    const DWORD length = GetEnvironmentVariableA("ZENDRA_JVM_DOUBLE_SCENARIO", text, size);
    if (length > 0 && length < size) return 1;
    WCHAR path[MAX_PATH * 4];
    const DWORD pathLength = GetModuleFileNameW(self, path, MAX_PATH * 4 - 32);
    WCHAR* name = path + pathLength;
    while (name > path && name[-1] != L'\\' && name[-1] != L'/') --name;
    wcscpy(name, L"jvm-double.scenario");
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    if (file == INVALID_HANDLE_VALUE) return 0;
    DWORD read = 0;
    ReadFile(file, text, size - 1, &read, NULL);
    CloseHandle(file);
    text[read] = '\0';
    return 1;
}

/* Sets the scenario of this process from its text (see the head of this file). */
static void loadScenario(void) {
    char text[2048];
    memset(&scenario, 0, sizeof scenario);
    scenario.firstRunResult = 1;
    if (!readScenarioText(text, sizeof text)) {
        scenario.failCreate = 1;
        return;
    }
    recordText("scenario", text);
    char* at = text;
    while (*at) {
        at += strspn(at, " \t\r\n");
        const size_t length = strcspn(at, " \t\r\n");
        if (length == 0) break;
        const char end = at[length];
        at[length] = '\0';
        applyWord(at);
        at += length + (end != '\0');
    }
}

/* Waits until the scenario's await file exists, at most 60 s. */
static void awaitGoAhead(void) {
    if (scenario.awaitFile[0] == '\0') return;
    for (int waited = 0; GetFileAttributesA(scenario.awaitFile) == INVALID_FILE_ATTRIBUTES; waited += 20) {
        if (waited >= 60000) {
            recordFault("await file never appeared");
            return;
        }
        Sleep(20);
    }
}

/* Adds (add) or removes the calling thread from the attached threads. */
static void markThread(int add) {
    const DWORD id = GetCurrentThreadId();
    EnterCriticalSection(&recordLock);
    for (size_t i = 0; i < sizeof attached / sizeof attached[0]; ++i) {
        if (attached[i] == (add ? 0 : id)) {
            attached[i] = add ? id : 0;
            break;
        }
    }
    LeaveCriticalSection(&recordLock);
}

/* DestroyJavaVM: recorded; the double has no threads of its own to wait for. */
static jint JNICALL destroyJavaVM(JavaVM* vm) {
    (void)vm;
    recordText("DestroyJavaVM", NULL);
    if (!threadIsAttached()) recordFault("DestroyJavaVM on a thread not attached");
    return JNI_OK;
}

/* Both attach forms, recorded under their own names: the thread gets the shared JNIEnv. */
static jint attach(const char* event, void** penv, void* args) {
    recordText(event, args ? "with arguments" : NULL);
    if (penv == NULL) {
        char text[96];
        snprintf(text, sizeof text, "%s without an env pointer", event);
        recordFault(text);
        return JNI_ERR;
    }
    if (!threadIsAttached()) markThread(1);
    *penv = doubleEnv();
    return JNI_OK;
}

static jint JNICALL attachCurrentThread(JavaVM* vm, void** penv, void* args) {
    (void)vm;
    return attach("AttachCurrentThread", penv, args);
}

static jint JNICALL attachCurrentThreadAsDaemon(JavaVM* vm, void** penv, void* args) {
    (void)vm;
    return attach("AttachCurrentThreadAsDaemon", penv, args);
}

static jint JNICALL detachCurrentThread(JavaVM* vm) {
    (void)vm;
    recordText("DetachCurrentThread", NULL);
    if (!threadIsAttached()) {
        recordFault("DetachCurrentThread on a thread not attached");
        return JNI_EDETACHED;
    }
    markThread(0);
    return JNI_OK;
}

static jint JNICALL getEnv(JavaVM* vm, void** penv, jint version) {
    (void)vm;
    (void)version;
    *penv = threadIsAttached() ? doubleEnv() : NULL;
    return *penv ? JNI_OK : JNI_EDETACHED;
}

static const struct JNIInvokeInterface_ invokeTable = {
    .DestroyJavaVM = destroyJavaVM,
    .AttachCurrentThread = attachCurrentThread,
    .DetachCurrentThread = detachCurrentThread,
    .GetEnv = getEnv,
    .AttachCurrentThreadAsDaemon = attachCurrentThreadAsDaemon,
};
static JavaVM theVm = &invokeTable;

/* Records the initialisation arguments: "version N", "ignoreUnrecognized N", then one
 * "option <text>" per option ("optionExtraInfo <index>" after one with non-null extraInfo). */
static void recordInitArgs(const JavaVMInitArgs* init) {
    char number[32];
    snprintf(number, sizeof number, "%ld", (long)init->version);
    recordText("version", number);
    snprintf(number, sizeof number, "%d", (int)init->ignoreUnrecognized);
    recordText("ignoreUnrecognized", number);
    for (jint i = 0; i < init->nOptions; ++i) {
        recordText("option", init->options[i].optionString ? init->options[i].optionString : "");
        if (init->options[i].optionString == NULL) recordFault("option without text");
        snprintf(number, sizeof number, "%ld", (long)i);
        if (init->options[i].extraInfo != NULL) recordText("optionExtraInfo", number);
    }
}

/* The invocation API's entry: records the arguments and creates the VM the scenario wants;
 * records "JNI_CreateJavaVM <result>". A second creation in one process fails. */
JNIEXPORT jint JNICALL JNI_CreateJavaVM(JavaVM** vm, void** env, void* args) {
    logEvent("create");
    loadScenario();
    awaitGoAhead();
    if (scenario.service) {
        const WCHAR* commandLine = GetCommandLineW();
        recordUtf16("commandLine", (const jchar*)commandLine, (jsize)wcslen(commandLine));
    }
    if (args != NULL) recordInitArgs(args);
    else recordFault("JNI_CreateJavaVM without arguments");
    jint result = scenario.failCreate || vm == NULL || env == NULL ? JNI_ERR : JNI_OK;
    if (result == JNI_OK && vmCreated) result = JNI_EEXIST;
    if (vm != NULL) *vm = result == JNI_OK ? &theVm : NULL;
    if (env != NULL) *env = result == JNI_OK ? doubleEnv() : NULL;
    if (result == JNI_OK) {
        vmCreated = 1;
        markThread(1);
    }
    char number[16];
    snprintf(number, sizeof number, "%ld", (long)result);
    recordText("JNI_CreateJavaVM", number);
    return result;
}
#endif
