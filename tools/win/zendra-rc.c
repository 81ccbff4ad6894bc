/* zendra-rc: sets the resources of a PE file with the system's own BeginUpdateResourceW /
 * UpdateResourceW / EndUpdateResourceW. The packaging tool runs it (under Wine on Linux),
 * decides the complete resource set and prepares every resource's bytes; this program only
 * writes them.
 *
 *   zendra-rc TARGET.exe [TYPE NAME LANGUAGE FILE]...
 *
 * The target's resources are replaced by exactly the listed ones: the whole set is written
 * at once because removing single resources (UpdateResourceW without data) does nothing
 * under Wine. TYPE and NAME are "#" and a decimal id (1 to 65535), or a name; LANGUAGE is a
 * decimal language id; FILE holds the data (at least one byte).
 * Exit code 0 on success; 1 with one line on standard error; 2 for bad usage.
 */
#include <windows.h>

#include <stdio.h>
#include <stdlib.h>
#include <wchar.h>

/* One line on standard error naming the failing step and the system's error code. */
static int fail(const wchar_t* what, const wchar_t* detail, DWORD error) {
    fwprintf(stderr, L"zendra-rc: %ls \"%ls\" failed (error %lu)\n", what, detail, (unsigned long)error);
    return 1;
}

/* "#123" as MAKEINTRESOURCE(123), other text as a name; NULL for a bad id. */
static const wchar_t* resourceKey(const wchar_t* text) {
    wchar_t* end = NULL;
    unsigned long value;
    if (text[0] != L'#') return text[0] != L'\0' ? text : NULL;
    value = wcstoul(text + 1, &end, 10);
    if (end == text + 1 || *end != L'\0' || value == 0 || value > 0xFFFF) return NULL;
    return MAKEINTRESOURCEW(value);
}

/* A decimal language id; -1 when malformed. */
static long languageId(const wchar_t* text) {
    wchar_t* end = NULL;
    const unsigned long value = wcstoul(text, &end, 10);
    if (end == text || *end != L'\0' || value > 0xFFFF) return -1;
    return (long)value;
}

/* Reads a whole file into a heap block; returns NULL and sets *error on failure. */
static void* readAll(const wchar_t* path, DWORD* size, DWORD* error) {
    HANDLE file = CreateFileW(path, GENERIC_READ, FILE_SHARE_READ, NULL, OPEN_EXISTING, 0, NULL);
    LARGE_INTEGER length;
    void* data = NULL;
    DWORD got = 0;
    *error = ERROR_INVALID_DATA;
    if (file == INVALID_HANDLE_VALUE) {
        *error = GetLastError();
        return NULL;
    }
    if (!GetFileSizeEx(file, &length)) {
        *error = GetLastError();
    } else if (length.QuadPart <= 0 || length.QuadPart > 0x7FFFFFFF) {
        *error = ERROR_INVALID_DATA;
    } else if ((data = malloc((size_t)length.QuadPart)) == NULL) {
        *error = ERROR_NOT_ENOUGH_MEMORY;
    } else if (!ReadFile(file, data, (DWORD)length.QuadPart, &got, NULL) || got != (DWORD)length.QuadPart) {
        *error = GetLastError();
        free(data);
        data = NULL;
    }
    *size = got;
    CloseHandle(file);
    return data;
}

/* Queues the resource described by args[0..3]; returns 0, 1 (failed) or 2 (bad arguments). */
static int queueResource(HANDLE update, wchar_t** args) {
    const wchar_t* type = resourceKey(args[0]);
    const wchar_t* name = resourceKey(args[1]);
    const long language = languageId(args[2]);
    void* data;
    DWORD size = 0;
    DWORD error = 0;
    int status = 0;
    if (type == NULL || name == NULL || language < 0) {
        fwprintf(stderr, L"zendra-rc: bad resource \"%ls\" \"%ls\" \"%ls\"\n", args[0], args[1], args[2]);
        return 2;
    }
    data = readAll(args[3], &size, &error);
    if (data == NULL) return fail(L"reading", args[3], error);
    if (!UpdateResourceW(update, type, name, (WORD)language, data, size)) {
        status = fail(L"UpdateResourceW", args[1], GetLastError());
    }
    free(data);
    return status;
}

int wmain(int argc, wchar_t** argv) {
    HANDLE update;
    int status = 0;
    int i;
    if (argc < 2 || (argc - 2) % 4 != 0) {
        fputws(L"usage: zendra-rc TARGET.exe [TYPE NAME LANGUAGE FILE]...\n", stderr);
        return 2;
    }
    update = BeginUpdateResourceW(argv[1], TRUE);
    if (update == NULL) return fail(L"BeginUpdateResourceW", argv[1], GetLastError());
    for (i = 2; i < argc && status == 0; i += 4) status = queueResource(update, argv + i);
    if (status != 0) {
        EndUpdateResourceW(update, TRUE);
        return status;
    }
    if (!EndUpdateResourceW(update, FALSE)) return fail(L"EndUpdateResourceW", argv[1], GetLastError());
    return 0;
}
