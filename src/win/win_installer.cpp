#include "win_installer.h"

#include <commctrl.h>

#include <memory>
#include <mutex>
#include <vector>

#include "concurrency.h"
#include "guard.h"
#include "handles.h"
#include "text_codec.h"

namespace zendra::win {
namespace {

constexpr int kProgressDialogId = 103;
constexpr int kIconId = 1001;
constexpr int kBarId = 1001;
constexpr int kTextId = 1003;
constexpr int kStatusId = 1002;
constexpr UINT kWorkDone = WM_APP + 1;  // the work thread has returned: end the dialog
constexpr const wchar_t* kDialogClass = L"MyDialogClass";
constexpr std::size_t kMaxAnsiText = 8191;

using SetWindowTextWFn = BOOL(WINAPI*)(HWND, LPCWSTR);
using SetDlgItemTextWFn = BOOL(WINAPI*)(HWND, int, LPCWSTR);

// The wide text functions, looked up once per process; both or neither are used.
struct WideTextFunctions {
    SetWindowTextWFn window = nullptr;
    SetDlgItemTextWFn item = nullptr;
    bool usable() const { return window != nullptr && item != nullptr; }
};

const WideTextFunctions& wideTextFunctions() {
    static const WideTextFunctions functions = [] {
        HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
        if (user32 == nullptr) user32 = ::LoadLibraryW(L"user32.dll");
        return WideTextFunctions{findProcedure<SetWindowTextWFn>(user32, "SetWindowTextW"),
                                 findProcedure<SetDlgItemTextWFn>(user32, "SetDlgItemTextW")};
    }();
    return functions;
}

std::string ansiText(const std::u16string& text) {
    std::string narrow = narrowText(CP_ACP, text).text;
    if (narrow.size() > kMaxAnsiText) narrow.resize(kMaxAnsiText);
    return narrow;
}

// The progress dialog as the installer's threads see it: every call posts to the window, so
// no thread waits on the dialog's own.
class WinProgressDialog final : public setup::ProgressDialog {
public:
    explicit WinProgressDialog(HWND window) : window_(window) {}
    void setRange(int low, int high) override { ::PostMessageW(bar(), PBM_SETRANGE32, low, high); }
    void setPosition(int position) override { ::PostMessageW(bar(), PBM_SETPOS, position, 0); }
    WindowRef window() override { return window_; }
    void hide() override { ::ShowWindowAsync(window_, SW_HIDE); }
    void setText(const std::u16string& text) override { setDlgItemTextWide(window_, kTextId, text); }
    void setCancelLabel(const std::u16string& text) override { setDlgItemTextWide(window_, IDCANCEL, text); }
    void showStatus(bool shown) override {
        ::ShowWindowAsync(::GetDlgItem(window_, kStatusId), shown ? SW_SHOW : SW_HIDE);
    }
    void setStatus(const std::u16string& text) override { setDlgItemTextWide(window_, kStatusId, text); }

private:
    HWND bar() const { return ::GetDlgItem(window_, kBarId); }
    HWND window_;
};

// What the dialog procedure needs: what the dialog shows and runs, and the dialog object the threads share.
struct DialogSession {
    const setup::ProgressDialogPlan* plan = nullptr;
    std::shared_ptr<WinProgressDialog> dialog;
};

// A new dialog object, kept until the process ends: the work may start a watcher thread that
// still calls it after the dialog and its work have ended (calls on the destroyed window do
// nothing), up to the process's exit, whose static destructors must not free it either.
std::shared_ptr<WinProgressDialog> keptDialog(HWND window) {
    static Mutex lock;
    static auto& kept = *std::make_unique<std::vector<std::shared_ptr<WinProgressDialog>>>().release();
    auto dialog = std::make_shared<WinProgressDialog>(window);
    const std::lock_guard<Mutex> hold(lock);
    kept.push_back(dialog);
    return dialog;
}

// Starts the work on its own thread; the dialog ends when the work returns. False when no
// thread could be made.
bool startWork(HWND window, const setup::ProgressDialogPlan& plan, std::shared_ptr<WinProgressDialog> dialog) {
    return startDetachedThread([window, work = plan.work, dialog] {
        ZENDRA_TRY {
            if (work) work(*dialog);
        } ZENDRA_CATCH_ALL {
            // Nothing to report to; the dialog still ends.
        }
        ::PostMessageW(window, kWorkDone, 0, 0);
    });
}

INT_PTR initialise(HWND window, DialogSession& session) {
    const setup::ProgressDialogPlan& plan = *session.plan;
    centreOverParent(window);
    session.dialog = keptDialog(window);
    if (plan.opened) plan.opened(*session.dialog);
    ::SendDlgItemMessageW(window, kBarId, PBM_SETRANGE32, 0, 100);
    setDlgItemTextWide(window, kTextId, plan.text);
    setWindowTextWide(window, plan.title);
    setDlgItemTextWide(window, IDCANCEL, plan.cancel);
    // Without its work the dialog would wait for ever: it ends as a failed one.
    if (!startWork(window, plan, session.dialog)) ::EndDialog(window, -1);
    return TRUE;
}

INT_PTR CALLBACK progressProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    ZENDRA_TRY {
        auto* session = reinterpret_cast<DialogSession*>(::GetWindowLongPtrW(window, DWLP_USER));
        switch (message) {
            case WM_INITDIALOG:
                ::SetWindowLongPtrW(window, DWLP_USER, lParam);
                return initialise(window, *reinterpret_cast<DialogSession*>(lParam));
            case WM_COMMAND: {
                const int id = LOWORD(wParam);
                if (id != IDOK && id != IDCANCEL) return FALSE;
                if (session != nullptr && session->plan->cancelled) session->plan->cancelled();
                ::EndDialog(window, id);
                return TRUE;
            }
            case kWorkDone:
                ::EndDialog(window, 0);
                return TRUE;
            default:
                return FALSE;
        }
    } ZENDRA_CATCH_ALL {
        return FALSE;
    }
}

}  // namespace

void centreOverParent(HWND window) {
    HWND parent = ::GetParent(window);
    if (parent == nullptr) parent = ::GetDesktopWindow();
    RECT outer{}, own{};
    ::GetWindowRect(parent, &outer);
    ::GetWindowRect(window, &own);
    const int x = outer.left + ((outer.right - outer.left) - (own.right - own.left)) / 2;
    const int y = outer.top + ((outer.bottom - outer.top) - (own.bottom - own.top)) / 2;
    ::SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void setWindowTextWide(HWND window, const std::u16string& text) {
    const WideTextFunctions& wide = wideTextFunctions();
    if (wide.usable())
        wide.window(window, asWide(text));
    else
        ::SetWindowTextA(window, ansiText(text).c_str());
}

void setDlgItemTextWide(HWND dialog, int id, const std::u16string& text) {
    const WideTextFunctions& wide = wideTextFunctions();
    if (wide.usable())
        wide.item(dialog, id, asWide(text));
    else
        ::SetDlgItemTextA(dialog, id, ansiText(text).c_str());
}

void WinInstallerUi::initCommonControls() {
    INITCOMMONCONTROLSEX controls{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&controls);
}

void WinInstallerUi::registerDialogClass() {
    HINSTANCE instance = ::GetModuleHandleW(nullptr);
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_DBLCLKS | CS_SAVEBITS | CS_BYTEALIGNWINDOW;
    windowClass.lpfnWndProc = ::DefDlgProcW;
    // The dialog manager's own extra bytes (30 in 32-bit processes, more in 64-bit ones).
    windowClass.cbWndExtra = DLGWINDOWEXTRA;
    windowClass.hInstance = instance;
    windowClass.hIcon = ::LoadIconW(instance, MAKEINTRESOURCEW(kIconId));
    windowClass.hCursor = ::LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
    windowClass.lpszClassName = kDialogClass;
    ::RegisterClassExW(&windowClass);
}

int WinInstallerUi::runProgressDialog(const setup::ProgressDialogPlan& plan) {
    // The dialog object outlives the session (keptDialog).
    DialogSession session;
    session.plan = &plan;
    const INT_PTR result = ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kProgressDialogId),
                                             nullptr, progressProcedure, reinterpret_cast<LPARAM>(&session));
    return static_cast<int>(result);
}

bool WinInstallerUi::askWarning(const std::u16string& text, const std::u16string& caption) {
    return ::MessageBoxW(nullptr, asWide(text), asWide(caption), MB_YESNO | MB_ICONWARNING) == IDYES;
}

void WinInstallerUi::startWatcherThread(std::function<void()> work) {
    // A watcher has nobody to report to: its exceptions end it, and without a thread there is none.
    static_cast<void>(startDetachedThread([work = std::move(work)] {
        ::SetThreadPriority(::GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL);
        work();
    }));
}

}  // namespace zendra::win
