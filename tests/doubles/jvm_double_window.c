/* The "window" scenario of the jvm.dll double: main shows one visible top-level window, as
 * an installer's first window, and keeps it (and its messages) going while main runs.
 * user32 is loaded at run time, so the double imports nothing more than before. */
#include "jvm_double.h"

typedef HWND(WINAPI* CreateWindowExWFn)(DWORD, LPCWSTR, LPCWSTR, DWORD, int, int, int, int, HWND, HMENU, HINSTANCE,
                                        LPVOID);
typedef BOOL(WINAPI* PeekMessageWFn)(LPMSG, HWND, UINT, UINT, UINT);
typedef LRESULT(WINAPI* DispatchMessageWFn)(const MSG*);

static FARPROC user32Function(const char* name) {
    HMODULE user32 = LoadLibraryW(L"user32.dll");
    return user32 == NULL ? NULL : GetProcAddress(user32, name);
}

void showScenarioWindow(int milliseconds) {
    CreateWindowExWFn create = (CreateWindowExWFn)(void (*)(void))user32Function("CreateWindowExW");
    PeekMessageWFn peek = (PeekMessageWFn)(void (*)(void))user32Function("PeekMessageW");
    DispatchMessageWFn dispatch = (DispatchMessageWFn)(void (*)(void))user32Function("DispatchMessageW");
    if (create == NULL || peek == NULL || dispatch == NULL) {
        recordFault("window scenario: user32 functions missing");
        return;
    }
    HWND window = create(0, L"STATIC", L"Installer double", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 40, 40, 320, 200, NULL,
                         NULL, NULL, NULL);
    recordText("window", window != NULL ? "shown" : "failed");
    /* Keep the window answering until main's time is up. */
    const DWORD until = GetTickCount() + (DWORD)milliseconds;
    do {
        MSG message;
        while (peek(&message, NULL, 0, 0, PM_REMOVE)) dispatch(&message);
        Sleep(20);
    } while ((LONG)(until - GetTickCount()) > 0);
}
