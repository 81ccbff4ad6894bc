/* Loads the resources a packaged launcher reads, through the same Windows calls, from the
 * file named on the command line, and prints what it got, one line each:
 *   bitmap WIDTHxHEIGHT BITS | bitmap missing
 *   rcdata SIZE             | rcdata missing
 *   icon NAME WIDTHxHEIGHT  | icon NAME missing     (for "ID_SPLASH_ICON" and 1001)
 * Exit code 0, or 2 when the file cannot be loaded. Built by the end-to-end resource test.
 */
#include <windows.h>

#include <stdio.h>

static void probeIcon(HMODULE module, const wchar_t* name, const char* label) {
    HICON icon = (HICON)LoadImageW(module, name, IMAGE_ICON, 0, 0, LR_DEFAULTSIZE);
    ICONINFO info;
    BITMAP bitmap;
    if (icon == NULL || !GetIconInfo(icon, &info)) {
        printf("icon %s missing\n", label);
        return;
    }
    GetObjectW(info.hbmColor != NULL ? info.hbmColor : info.hbmMask, sizeof bitmap, &bitmap);
    printf("icon %s %ldx%ld\n", label, bitmap.bmWidth, bitmap.bmHeight);
    if (info.hbmColor != NULL) DeleteObject(info.hbmColor);
    DeleteObject(info.hbmMask);
    DestroyIcon(icon);
}

int wmain(int argc, wchar_t** argv) {
    HMODULE module;
    HBITMAP bitmap;
    HRSRC raw;
    BITMAP info;
    if (argc != 2) return 2;
    module = LoadLibraryExW(argv[1], NULL, LOAD_LIBRARY_AS_DATAFILE);
    if (module == NULL) {
        printf("cannot load (error %lu)\n", GetLastError());
        return 2;
    }
    bitmap = LoadBitmapW(module, MAKEINTRESOURCEW(10000));
    if (bitmap != NULL && GetObjectW(bitmap, sizeof info, &info) != 0) {
        printf("bitmap %ldx%ld %u\n", info.bmWidth, info.bmHeight, (unsigned)info.bmBitsPixel);
        DeleteObject(bitmap);
    } else {
        printf("bitmap missing\n");
    }
    raw = FindResourceW(module, MAKEINTRESOURCEW(10000), MAKEINTRESOURCEW(10));
    if (raw != NULL) {
        printf("rcdata %lu\n", SizeofResource(module, raw));
    } else {
        printf("rcdata missing\n");
    }
    probeIcon(module, L"ID_SPLASH_ICON", "ID_SPLASH_ICON");
    probeIcon(module, MAKEINTRESOURCEW(1001), "1001");
    FreeLibrary(module);
    return 0;
}
