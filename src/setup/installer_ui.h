// The installer's own windows: the progress dialog (103), its dialog class, the question box
// of an interrupted attempt, and the threads the installer starts. The Windows layer
// implements it; tests use a fake.
#pragma once

#include <functional>
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

// The installer's windows and threads.
class InstallerUi {
public:
    virtual ~InstallerUi() = default;
    // Initialises the common controls (the progress bar class).
    virtual void initCommonControls() = 0;
    // Registers the dialog class "MyDialogClass" that the installer's dialogs use.
    virtual void registerDialogClass() = 0;
    // Shows the progress dialog modally until it ends; returns the id it ended with.
    virtual int runProgressDialog(const ProgressDialogPlan& plan) = 0;
    // A yes/no message box with the warning icon and no owner; true on yes.
    virtual bool askWarning(const std::u16string& text, const std::u16string& caption) = 0;
    // Runs work on a new thread with above-normal priority; returns at once.
    virtual void startWatcherThread(std::function<void()> work) = 0;
};

}  // namespace zendra::setup
