// The installer's own windows: the progress dialog (103), its dialog class, the question box
// of an interrupted attempt, and the threads the installer starts. The Windows layer
// implements it; tests use a fake.
#pragma once

#include <functional>
#include <optional>
#include <string>

#include "installer_progress.h"
#include "platform.h"

namespace zendra::setup {

// The shown progress dialog, as the installer's steps and its watcher use it.
class ProgressDialog : public InstallerProgress {
public:
    // The dialog's window (owner of the installer's message boxes).
    virtual WindowRef window() = 0;
    // Hides the dialog without ending it.
    virtual void hide() = 0;
    // Sets the message text (control 1003).
    virtual void setText(const std::u16string& text) = 0;
    // Sets the cancel button's label (button 2).
    virtual void setCancelLabel(const std::u16string& text) = 0;
    // Shows or hides the download status line (control 1002).
    virtual void showStatus(bool shown) = 0;
    // Sets the download status line's text.
    virtual void setStatus(const std::u16string& text) = 0;
};

// What the progress dialog shows and does.
struct ProgressDialogPlan {
    std::u16string title;    // message 20013
    std::u16string text;     // message 20007, control 1003
    std::u16string cancel;   // message 20012, button 2
    // Runs once the dialog is up, on the dialog's own thread: registers it as error owner.
    std::function<void(ProgressDialog&)> opened;
    // The work, run on a thread of its own; the dialog ends when it returns.
    std::function<void(ProgressDialog&)> work;
    // Runs on the dialog's thread when the user cancels (button 2 or Escape), before it ends.
    std::function<void()> cancelled;
};

// What the question dialog (104) shows and does when no runtime fits.
struct QuestionDialogPlan {
    WindowRef owner = nullptr;  // the progress dialog, or none
    std::u16string title;       // message 20013
    std::u16string text;        // the question, control 1003
    std::u16string download;    // message 20010, button 1004
    std::u16string locate;      // message 20011, button 1005
    std::u16string cancel;      // message 20012, button 2
    bool offerDownload = true;  // false: button 1004 is hidden and locate is the default
    // The locate button, with the question dialog's window: true ends the dialog.
    std::function<bool(WindowRef)> located;
    // The cancel button (or Escape, or closing the window); does not return.
    std::function<void()> cancelled;
};

// How the question dialog ended.
enum class QuestionAnswer {
    Download,     // button 1004 (or Enter while it is the default)
    Located,      // button 1005 after a successful choice
    Unavailable,  // the dialog could not be shown
};

// The installer's windows and threads.
class InstallerUi {
public:
    virtual ~InstallerUi() = default;
    // Initialises the common controls (the progress bar class).
    virtual void initCommonControls() = 0;
    // Registers the dialog class "MyDialogClass" that the installer's dialogs use.
    virtual void registerDialogClass() = 0;
    // Shows the progress dialog modally until it ends; returns the id it ended with: 0 when
    // the work returned, 1 or 2 after a cancel, -1 when the work failed or the dialog could not
    // be shown.
    virtual int runProgressDialog(const ProgressDialogPlan& plan) = 0;
    // Shows the question dialog modally (owned by plan.owner) until a choice ends it.
    virtual QuestionAnswer runQuestionDialog(const QuestionDialogPlan& plan) = 0;
    // The file chooser for a java.exe owned by the question dialog; the picked file's 8-bit
    // path as the chooser returns it, nullopt when the user cancels.
    virtual std::optional<std::string> chooseJavaExe(WindowRef owner, const std::u16string& title) = 0;
    // A yes/no message box with the warning icon and no owner; true on yes.
    virtual bool askWarning(const std::u16string& text, const std::u16string& caption) = 0;
    // Runs work on a new thread with above-normal priority; returns at once.
    virtual void startWatcherThread(std::function<void()> work) = 0;
};

}  // namespace zendra::setup
