#include "win_splash.h"

#include <cstddef>
#include <cstring>
#include <iterator>
#include <memory>
#include <utility>

#include "concurrency.h"
#include "guard.h"
#include "handles.h"
#include "splash_layout.h"
#include "win32.h"

namespace zendra::win {
namespace {

constexpr char kClassName[] = "ZendraSplashScreen";
constexpr char kIconName[] = "ID_SPLASH_ICON";
constexpr char kStateProperty[] = "ZendraSplashState";  // window property holding the WindowState
constexpr UINT_PTR kTimerId = 9962;
constexpr UINT kSetStatusText = WM_APP + 1;  // lParam: the new text (const std::string*)
constexpr BYTE kSwissDefaultPitch = FF_SWISS | DEFAULT_PITCH;

// The user32 and gdi32 functions of the splash window, looked up once when first needed.
struct Ui {
    ATOM(WINAPI* registerClassExA)(const WNDCLASSEXA*) = nullptr;
    HWND(WINAPI* createWindowExA)(DWORD, LPCSTR, LPCSTR, DWORD, int, int, int, int, HWND, HMENU, HINSTANCE,
                                  LPVOID) = nullptr;
    BOOL(WINAPI* destroyWindow)(HWND) = nullptr;
    LRESULT(WINAPI* defWindowProcA)(HWND, UINT, WPARAM, LPARAM) = nullptr;
    BOOL(WINAPI* showWindow)(HWND, int) = nullptr;
    BOOL(WINAPI* setWindowPos)(HWND, HWND, int, int, int, int, UINT) = nullptr;
    BOOL(WINAPI* isWindowVisible)(HWND) = nullptr;
    HWND(WINAPI* getDesktopWindow)() = nullptr;
    BOOL(WINAPI* setPropA)(HWND, LPCSTR, HANDLE) = nullptr;
    HANDLE(WINAPI* getPropA)(HWND, LPCSTR) = nullptr;
    HANDLE(WINAPI* removePropA)(HWND, LPCSTR) = nullptr;
    BOOL(WINAPI* getWindowRect)(HWND, LPRECT) = nullptr;
    HICON(WINAPI* loadIconA)(HINSTANCE, LPCSTR) = nullptr;
    HCURSOR(WINAPI* loadCursorA)(HINSTANCE, LPCSTR) = nullptr;
    HBITMAP(WINAPI* loadBitmapA)(HINSTANCE, LPCSTR) = nullptr;
    void(WINAPI* postQuitMessage)(int) = nullptr;
    HDC(WINAPI* beginPaint)(HWND, LPPAINTSTRUCT) = nullptr;
    BOOL(WINAPI* endPaint)(HWND, const PAINTSTRUCT*) = nullptr;
    int(WINAPI* fillRect)(HDC, const RECT*, HBRUSH) = nullptr;
    BOOL(WINAPI* getMessageA)(LPMSG, HWND, UINT, UINT) = nullptr;
    BOOL(WINAPI* translateMessage)(const MSG*) = nullptr;
    LRESULT(WINAPI* dispatchMessageA)(const MSG*) = nullptr;
    UINT_PTR(WINAPI* setTimer)(HWND, UINT_PTR, UINT, TIMERPROC) = nullptr;
    BOOL(WINAPI* killTimer)(HWND, UINT_PTR) = nullptr;
    BOOL(WINAPI* invalidateRect)(HWND, const RECT*, BOOL) = nullptr;
    BOOL(WINAPI* updateWindow)(HWND) = nullptr;
    LRESULT(WINAPI* sendMessageA)(HWND, UINT, WPARAM, LPARAM) = nullptr;
    HWND(WINAPI* getForegroundWindow)() = nullptr;
    DWORD(WINAPI* getWindowThreadProcessId)(HWND, LPDWORD) = nullptr;
    HDC(WINAPI* createCompatibleDC)(HDC) = nullptr;
    HBITMAP(WINAPI* createCompatibleBitmap)(HDC, int, int) = nullptr;
    HGDIOBJ(WINAPI* selectObject)(HDC, HGDIOBJ) = nullptr;
    BOOL(WINAPI* deleteObject)(HGDIOBJ) = nullptr;
    BOOL(WINAPI* deleteDC)(HDC) = nullptr;
    BOOL(WINAPI* bitBlt)(HDC, int, int, int, int, HDC, int, int, DWORD) = nullptr;
    int(WINAPI* setBkMode)(HDC, int) = nullptr;
    COLORREF(WINAPI* setTextColor)(HDC, COLORREF) = nullptr;
    BOOL(WINAPI* textOutA)(HDC, int, int, LPCSTR, int) = nullptr;
    HFONT(WINAPI* createFontIndirectA)(const LOGFONTA*) = nullptr;
    HGDIOBJ(WINAPI* getStockObject)(int) = nullptr;
    int(WINAPI* getDeviceCaps)(HDC, int) = nullptr;
};

// The exports behind the table's slots, in the order of its members: first user32's, then gdi32's.
constexpr const char* kUser32Names[] = {
    "RegisterClassExA", "CreateWindowExA", "DestroyWindow", "DefWindowProcA", "ShowWindow", "SetWindowPos",
    "IsWindowVisible", "GetDesktopWindow", "SetPropA", "GetPropA", "RemovePropA", "GetWindowRect", "LoadIconA",
    "LoadCursorA", "LoadBitmapA", "PostQuitMessage", "BeginPaint", "EndPaint", "FillRect", "GetMessageA",
    "TranslateMessage", "DispatchMessageA", "SetTimer", "KillTimer", "InvalidateRect", "UpdateWindow",
    "SendMessageA", "GetForegroundWindow", "GetWindowThreadProcessId"};
constexpr const char* kGdi32Names[] = {"CreateCompatibleDC", "CreateCompatibleBitmap", "SelectObject",
                                       "DeleteObject", "DeleteDC", "BitBlt", "SetBkMode", "SetTextColor",
                                       "TextOutA", "CreateFontIndirectA", "GetStockObject", "GetDeviceCaps"};
constexpr std::size_t kUser32Count = std::size(kUser32Names);
static_assert(sizeof(Ui) == (kUser32Count + std::size(kGdi32Names)) * sizeof(FARPROC));
static_assert(offsetof(Ui, createCompatibleDC) == kUser32Count * sizeof(FARPROC));

// Looks up the named exports into slots; false when the module or one function is missing.
template <std::size_t N>
bool lookUpAll(FARPROC* slots, HMODULE module, const char* const (&names)[N]) {
    if (module == nullptr) return false;
    for (std::size_t i = 0; i < N; ++i) {
        slots[i] = ::GetProcAddress(module, names[i]);
        if (slots[i] == nullptr) return false;
    }
    return true;
}

// The table, or nullptr when user32 or gdi32 cannot be loaded or lacks a function. Both
// libraries stay loaded once they were needed.
const Ui* ui() {
    static const std::optional<Ui> table = []() -> std::optional<Ui> {
        FARPROC slots[sizeof(Ui) / sizeof(FARPROC)] = {};
        if (!lookUpAll(slots, ::LoadLibraryW(L"user32.dll"), kUser32Names) ||
            !lookUpAll(slots + kUser32Count, ::LoadLibraryW(L"gdi32.dll"), kGdi32Names)) {
            return std::nullopt;
        }
        // Every member is a function pointer, laid out like the slots.
        Ui t;
        std::memcpy(&t, slots, sizeof t);
        return t;
    }();
    return table ? &*table : nullptr;
}

// GDI objects (bitmaps, fonts), freed with DeleteObject.
struct GdiObjectTraits {
    using Value = HGDIOBJ;
    static Value invalid() noexcept { return nullptr; }
    static bool isInvalid(Value value) noexcept { return value == nullptr; }
    static void close(Value value) noexcept { ui()->deleteObject(value); }
};

// Memory device contexts from CreateCompatibleDC, freed with DeleteDC.
struct MemoryDcTraits {
    using Value = HDC;
    static Value invalid() noexcept { return nullptr; }
    static bool isInvalid(Value value) noexcept { return value == nullptr; }
    static void close(Value value) noexcept { ui()->deleteDC(value); }
};

using UniqueGdiObject = UniqueResource<GdiObjectTraits>;
using UniqueMemoryDc = UniqueResource<MemoryDcTraits>;

// An object selected into a device context for one scope; the previous one comes back after.
class Selection {
public:
    Selection(HDC dc, HGDIOBJ object) : dc_(dc), old_(object != nullptr ? ui()->selectObject(dc, object) : nullptr) {}
    Selection(const Selection&) = delete;
    Selection& operator=(const Selection&) = delete;
    ~Selection() {
        if (old_ != nullptr) ui()->selectObject(dc_, old_);
    }

private:
    HDC dc_;
    HGDIOBJ old_;
};

// One WM_PAINT: BeginPaint and EndPaint.
class PaintScope {
public:
    explicit PaintScope(HWND window) : window_(window), dc_(ui()->beginPaint(window, &paint_)) {}
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    ~PaintScope() { ui()->endPaint(window_, &paint_); }
    // The window's device context, or nullptr.
    HDC dc() const { return dc_; }

private:
    HWND window_;
    PAINTSTRUCT paint_{};
    HDC dc_;
};

// What a splash window shows; the fonts are made at the first paint. The window owns it
// once it was created (a window property names it) and frees it when it is destroyed; only
// the window's thread touches it.
struct WindowState {
    SplashWindowLayout layout;
    HINSTANCE instance = nullptr;
    UniqueGdiObject statusFont;
    UniqueGdiObject versionFont;
    bool fontsMade = false;
    bool ownedByWindow = false;
};

// The state of a splash window, or nullptr.
WindowState* stateOf(HWND window) {
    return static_cast<WindowState*>(ui()->getPropA(window, kStateProperty));
}

// Attaches the state given to CreateWindowExA at the window's first message.
void attachState(HWND window, LPARAM lParam) {
    const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
    if (create != nullptr) ui()->setPropA(window, kStateProperty, create->lpCreateParams);
}

// Detaches the state at the window's last message, freeing it when the window owns it.
void releaseState(HWND window) {
    std::unique_ptr<WindowState> state(static_cast<WindowState*>(ui()->removePropA(window, kStateProperty)));
    if (state != nullptr && !state->ownedByWindow) static_cast<void>(state.release());  // still its creator's
}

// The font of a text line on a display of dpi dots per inch.
HGDIOBJ makeFont(const SplashTextLine& line, int dpi) {
    LOGFONTA font{};
    font.lfHeight = splashFontHeight(line.fontPoints, dpi);
    font.lfWeight = line.fontWeight;
    font.lfCharSet = DEFAULT_CHARSET;
    font.lfOutPrecision = OUT_DEFAULT_PRECIS;
    font.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    font.lfQuality = DEFAULT_QUALITY;
    font.lfPitchAndFamily = kSwissDefaultPitch;
    line.fontFace.copy(font.lfFaceName, sizeof font.lfFaceName - 1);
    return ui()->createFontIndirectA(&font);
}

// Copies bitmap resource layout.bitmapId to (0, 0) of target; nothing when it is missing.
void drawBitmap(const WindowState& s, HDC window, HDC target) {
    const Ui& api = *ui();
    UniqueGdiObject image(api.loadBitmapA(s.instance, MAKEINTRESOURCEA(s.layout.bitmapId)));
    if (!image) return;
    UniqueMemoryDc source(api.createCompatibleDC(window));
    if (!source) return;
    Selection selected(source.get(), image.get());
    api.bitBlt(target, 0, 0, s.layout.width, s.layout.height, source.get(), 0, 0, SRCCOPY);
}

// Draws one text line as it stands, no wrapping.
void drawLine(HDC dc, const SplashTextLine& line, HGDIOBJ font) {
    const Ui& api = *ui();
    Selection selected(dc, font);
    api.setTextColor(dc, line.colour);
    api.textOutA(dc, line.x, line.y, line.text.data(), static_cast<int>(line.text.size()));
}

// Draws the two text lines with a transparent background, restoring the context after.
void drawLines(const WindowState& s, HDC dc) {
    const Ui& api = *ui();
    const int oldMode = api.setBkMode(dc, TRANSPARENT);
    const COLORREF oldColour = api.setTextColor(dc, s.layout.status.colour);
    drawLine(dc, s.layout.status, s.statusFont.get());
    drawLine(dc, s.layout.version, s.versionFont.get());
    api.setTextColor(dc, oldColour);
    api.setBkMode(dc, oldMode);
}

// Paints the whole window off screen (grey, the bitmap, the lines) and copies it in one step.
void paint(HWND window, WindowState* s) {
    const Ui& api = *ui();
    PaintScope scope(window);
    if (scope.dc() == nullptr || s == nullptr) return;
    if (!s->fontsMade) {
        const int dpi = api.getDeviceCaps(scope.dc(), LOGPIXELSY);
        s->statusFont.reset(makeFont(s->layout.status, dpi));
        s->versionFont.reset(makeFont(s->layout.version, dpi));
        s->fontsMade = true;
    }
    const int width = s->layout.width;
    const int height = s->layout.height;
    UniqueMemoryDc memory(api.createCompatibleDC(scope.dc()));
    UniqueGdiObject bitmap(api.createCompatibleBitmap(scope.dc(), width, height));
    if (!memory || !bitmap) return;
    Selection target(memory.get(), bitmap.get());
    const RECT all{0, 0, width, height};
    api.fillRect(memory.get(), &all, static_cast<HBRUSH>(api.getStockObject(LTGRAY_BRUSH)));
    drawBitmap(*s, scope.dc(), memory.get());
    drawLines(*s, memory.get());
    api.bitBlt(scope.dc(), 0, 0, width, height, memory.get(), 0, 0, SRCCOPY);
}

// Stores a new status text and repaints at once.
void replaceStatusText(HWND window, const std::string* text) {
    WindowState* state = stateOf(window);
    if (state == nullptr || text == nullptr) return;
    state->layout.status.text = *text;
    ui()->invalidateRect(window, nullptr, FALSE);
    ui()->updateWindow(window);
}

// The splash window's procedure; nothing thrown inside leaves it.
LRESULT CALLBACK splashProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    ZENDRA_TRY {
        switch (message) {
            case WM_NCCREATE:
                attachState(window, lParam);
                break;
            case WM_NCDESTROY:
                releaseState(window);
                break;
            case WM_PAINT:
                paint(window, stateOf(window));
                return 0;
            case WM_ERASEBKGND:
                return 1;  // the paint covers the whole window
            case WM_DESTROY:
                ui()->postQuitMessage(0);
                return 0;
            case kSetStatusText:
                replaceStatusText(window, reinterpret_cast<const std::string*>(lParam));
                return 0;
            default:
                break;
        }
        return ui()->defWindowProcA(window, message, wParam, lParam);
    } ZENDRA_CATCH_ALL {
        return 0;
    }
}

// Registers the window class once per process; false when it cannot be registered.
bool registerClass(const Ui& api, HINSTANCE instance) {
    WNDCLASSEXA cls{};
    cls.cbSize = sizeof cls;
    cls.style = CS_OWNDC | CS_HREDRAW | CS_VREDRAW;
    cls.lpfnWndProc = splashProc;
    cls.hInstance = instance;
    cls.hIcon = api.loadIconA(instance, kIconName);
    cls.hCursor = api.loadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
    cls.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    cls.lpszClassName = kClassName;
    return api.registerClassExA(&cls) != 0 || ::GetLastError() == ERROR_CLASS_ALREADY_EXISTS;
}

// Runs one tick; an exception ends the loop.
bool safeTick(const std::function<bool()>& tick) {
    ZENDRA_TRY {
        return tick();
    } ZENDRA_CATCH_ALL {
        return false;
    }
}

}  // namespace

bool WinSplashServices::startThread(std::function<void()> body) {
    return startDetachedThread(std::move(body));
}

ScreenRect WinSplashServices::desktopRect() {
    const Ui* api = ui();
    RECT r{};
    if (api != nullptr) api->getWindowRect(api->getDesktopWindow(), &r);
    return {r.left, r.top, r.right, r.bottom};
}

WindowRef WinSplashServices::createSplashWindow(const SplashWindowLayout& layout) {
    const Ui* api = ui();
    const HINSTANCE instance = ::GetModuleHandleW(nullptr);
    if (api == nullptr || !registerClass(*api, instance)) return nullptr;
    auto state = std::make_unique<WindowState>();
    state->layout = layout;
    state->instance = instance;
    const HWND window = api->createWindowExA(0, kClassName, layout.title.c_str(), WS_POPUP, layout.x, layout.y,
                                             layout.width, layout.height, nullptr, nullptr, instance, state.get());
    if (window == nullptr) return nullptr;
    state->ownedByWindow = true;
    static_cast<void>(state.release());  // freed with the window (WM_NCDESTROY)
    return window;
}

void WinSplashServices::showWindow(WindowRef window, int showCommand) {
    if (const Ui* api = ui()) api->showWindow(static_cast<HWND>(window), showCommand);
}

void WinSplashServices::hideWindow(WindowRef window) {
    if (const Ui* api = ui()) api->showWindow(static_cast<HWND>(window), SW_HIDE);
}

void WinSplashServices::makeTopMost(WindowRef window) {
    if (const Ui* api = ui()) {
        api->setWindowPos(static_cast<HWND>(window), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    }
}

bool WinSplashServices::isVisible(WindowRef window) {
    const Ui* api = ui();
    return api != nullptr && window != nullptr && api->isWindowVisible(static_cast<HWND>(window)) != FALSE;
}

void WinSplashServices::setStatusText(WindowRef window, const std::string& text) {
    const Ui* api = ui();
    if (api == nullptr || window == nullptr) return;
    // The text travels as a pointer: only a window of this process may receive it.
    DWORD owner = 0;
    api->getWindowThreadProcessId(static_cast<HWND>(window), &owner);
    if (owner != ::GetCurrentProcessId()) return;
    api->sendMessageA(static_cast<HWND>(window), kSetStatusText, 0, reinterpret_cast<LPARAM>(&text));
}

void WinSplashServices::runMessageLoop(WindowRef window, std::uint32_t periodMs, const std::function<bool()>& tick) {
    const Ui* api = ui();
    if (api == nullptr) return;
    const UINT_PTR timer = api->setTimer(nullptr, kTimerId, periodMs, nullptr);
    MSG message{};
    for (;;) {
        const BOOL got = api->getMessageA(&message, nullptr, 0, 0);
        if (got == 0 || got == -1) break;
        // A thread timer's message has no window; the tick replaces its procedure.
        if (message.message == WM_TIMER && message.hwnd == nullptr && message.wParam == timer) {
            if (!safeTick(tick)) break;
            continue;
        }
        api->translateMessage(&message);
        api->dispatchMessageA(&message);
    }
    api->killTimer(nullptr, timer);
    api->destroyWindow(static_cast<HWND>(window));
}

std::optional<std::uint32_t> WinSplashServices::foregroundProcessId() {
    const Ui* api = ui();
    if (api == nullptr) return std::nullopt;
    const HWND foreground = api->getForegroundWindow();
    if (foreground == nullptr) return std::nullopt;
    DWORD process = 0;
    api->getWindowThreadProcessId(foreground, &process);
    return process;
}

std::optional<ResourceBytes> WinSplashServices::ownResource(int type, int id) {
    const HMODULE self = ::GetModuleHandleW(nullptr);
    const HRSRC info = ::FindResourceW(self, MAKEINTRESOURCEW(id), MAKEINTRESOURCEW(type));
    if (info == nullptr) return std::nullopt;
    const HGLOBAL loaded = ::LoadResource(self, info);
    const void* data = loaded != nullptr ? ::LockResource(loaded) : nullptr;
    if (data == nullptr) return std::nullopt;
    return ResourceBytes{info, data, static_cast<std::uint32_t>(::SizeofResource(self, info))};
}

}  // namespace zendra::win
