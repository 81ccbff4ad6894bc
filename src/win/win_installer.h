// The installer's windows on Windows: the dialog class, the progress dialog (resource 103),
// the interrupted-attempt question, the installer's threads, and the window-text functions.
#pragma once

#include <string>

#include "installer_ui.h"
#include "win32.h"

namespace zendra::win {

// The installer's windows and threads over user32 and comctl32.
class WinInstallerUi final : public setup::InstallerUi {
public:
    // Initialises the progress bar class of the common controls.
    void initCommonControls() override;
    // Registers "MyDialogClass" with icon 1001 of the executable.
    void registerDialogClass() override;
    // Dialog 103, modal, without owner; the work runs on its own thread.
    int runProgressDialog(const setup::ProgressDialogPlan& plan) override;
    // MessageBoxW with yes/no and the warning icon.
    bool askWarning(const std::u16string& text, const std::u16string& caption) override;
    // A detached thread at above-normal priority; exceptions end in it.
    void startWatcherThread(std::function<void()> work) override;
    // Dialog 104, modal, owned by the plan's owner.
    setup::QuestionAnswer runQuestionDialog(const setup::QuestionDialogPlan& plan) override;
    // GetOpenFileNameA: filter "Java EXE", the title in the ANSI code page, the file must exist.
    std::optional<std::string> chooseJavaExe(WindowRef owner, const std::u16string& title) override;
};

// Centres a window over its parent, or over the desktop when it has none.
void centreOverParent(HWND window);

// Sets a window's text through SetWindowTextW when user32 offers both wide text functions,
// else through SetWindowTextA with the text in the ANSI code page (at most 8191 bytes).
void setWindowTextWide(HWND window, const std::u16string& text);

// Sets a dialog control's text, with the same choice of function as setWindowTextWide.
void setDlgItemTextWide(HWND dialog, int id, const std::u16string& text);

}  // namespace zendra::win
