// The question dialog (resource 104) and the file chooser for a java.exe.
#include "guard.h"
#include "win_installer.h"

#include <commdlg.h>

#include <vector>

#include "text_codec.h"

namespace zendra::win {
namespace {

constexpr int kQuestionDialogId = 104;
constexpr int kQuestionTextId = 1003;
constexpr int kDownloadId = 1004;
constexpr int kLocateId = 1005;
constexpr DWORD kPathBufferSize = 8192;

void hideDownloadButton(HWND window) {
    // Hidden and disabled, so that Enter cannot start a download that has no location: the
    // locate button becomes the default instead.
    HWND download = ::GetDlgItem(window, kDownloadId);
    ::ShowWindow(download, SW_HIDE);
    ::EnableWindow(download, FALSE);
    ::SendMessageW(window, DM_SETDEFID, kLocateId, 0);
}

INT_PTR initialise(HWND window, const setup::QuestionDialogPlan& plan) {
    centreOverParent(window);
    setWindowTextWide(window, plan.title);
    setDlgItemTextWide(window, IDCANCEL, plan.cancel);
    setDlgItemTextWide(window, kLocateId, plan.locate);
    setDlgItemTextWide(window, kDownloadId, plan.download);
    setDlgItemTextWide(window, kQuestionTextId, plan.text);
    if (!plan.offerDownload) {
        hideDownloadButton(window);
        ::SetFocus(::GetDlgItem(window, kLocateId));
        return FALSE;  // the focus is set
    }
    return TRUE;
}

// A pressed button: locate keeps the dialog open until a runtime loads; cancel ends the
// process; download (or Enter on the default button) ends the dialog.
void pressed(HWND window, const setup::QuestionDialogPlan& plan, int id) {
    if (id == IDOK) id = plan.offerDownload ? kDownloadId : kLocateId;
    if (id == kLocateId) {
        if (plan.located && plan.located(window)) ::EndDialog(window, kLocateId);
    } else if (id == IDCANCEL) {
        if (plan.cancelled) plan.cancelled();
        ::EndDialog(window, IDCANCEL);
    } else if (id == kDownloadId && plan.offerDownload) {
        ::EndDialog(window, kDownloadId);
    }
}

INT_PTR CALLBACK questionProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    ZENDRA_TRY {
        switch (message) {
            case WM_INITDIALOG:
                ::SetWindowLongPtrW(window, DWLP_USER, lParam);
                return initialise(window, *reinterpret_cast<const setup::QuestionDialogPlan*>(lParam));
            case WM_COMMAND: {
                const auto* plan = reinterpret_cast<const setup::QuestionDialogPlan*>(
                    ::GetWindowLongPtrW(window, DWLP_USER));
                if (plan == nullptr || HIWORD(wParam) != BN_CLICKED) return FALSE;
                pressed(window, *plan, LOWORD(wParam));
                return TRUE;
            }
            default:
                return FALSE;
        }
    } ZENDRA_CATCH_ALL {
        return FALSE;  // a failed choice leaves the dialog open
    }
}

}  // namespace

setup::QuestionAnswer WinInstallerUi::runQuestionDialog(const setup::QuestionDialogPlan& plan) {
    const INT_PTR result =
        ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kQuestionDialogId),
                          static_cast<HWND>(plan.owner), questionProcedure, reinterpret_cast<LPARAM>(&plan));
    if (result == kDownloadId) return setup::QuestionAnswer::Download;
    if (result == kLocateId) return setup::QuestionAnswer::Located;
    return setup::QuestionAnswer::Unavailable;
}

std::optional<std::string> WinInstallerUi::chooseJavaExe(WindowRef owner, const std::u16string& title) {
    static constexpr char kFilter[] = "Java EXE\0java.exe\0";  // the array's own zero ends the list
    const std::string ansiTitle = narrowText(CP_ACP, title).text;
    std::vector<char> file(kPathBufferSize, '\0');
    OPENFILENAMEA chooser{};
    chooser.lStructSize = sizeof chooser;
    chooser.hwndOwner = static_cast<HWND>(owner);
    chooser.lpstrFilter = kFilter;
    chooser.nFilterIndex = 1;
    chooser.lpstrFile = file.data();
    chooser.nMaxFile = kPathBufferSize;
    chooser.lpstrTitle = ansiTitle.c_str();
    chooser.Flags = OFN_FILEMUSTEXIST | OFN_HIDEREADONLY;  // a read-only choice means nothing here
    if (!::GetOpenFileNameA(&chooser)) return std::nullopt;
    return std::string(file.data());
}

}  // namespace zendra::win
