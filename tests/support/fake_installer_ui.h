// The installer's windows in memory: the progress dialog runs its work at once on the calling
// thread, and watcher threads are kept for the test to run.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "installer_ui.h"

namespace zendra::test {

// A progress dialog that records what the steps did to it.
class FakeProgressDialog final : public setup::ProgressDialog {
public:
    void setRange(int low, int high) override { calls.push_back("range " + std::to_string(low) + " " + std::to_string(high)); }
    void setPosition(int position) override { positions.push_back(position); }
    WindowRef window() override { return this; }
    void hide() override { calls.push_back("hide"); }
    void setText(const std::u16string& text) override { texts.push_back(text); }
    void setCancelLabel(const std::u16string& text) override { texts.push_back(text); }
    void showStatus(bool shown) override { calls.push_back(shown ? "status shown" : "status hidden"); }
    void setStatus(const std::u16string& text) override { statuses.push_back(text); }
    std::vector<std::string> calls;
    std::vector<std::u16string> texts;
    std::vector<std::u16string> statuses;
    std::vector<int> positions;
};

// Records every request; the interrupted-attempt question is answered no. The question dialog
// plays the queued presses ("download", "locate", "cancel"; cancel when none is left); the
// file chooser returns the queued picks (a cancelled chooser when none is left).
class FakeInstallerUi final : public setup::InstallerUi {
public:
    void initCommonControls() override { calls.push_back("common controls"); }
    void registerDialogClass() override { calls.push_back("dialog class"); }
    int runProgressDialog(const setup::ProgressDialogPlan& plan) override {
        calls.push_back("progress dialog");
        if (plan.opened) plan.opened(dialog);
        if (cancelProgress) {
            plan.cancelled();
            return 2;
        }
        plan.work(dialog);
        return 0;
    }
    setup::QuestionAnswer runQuestionDialog(const setup::QuestionDialogPlan& plan) override {
        calls.push_back("question");
        questions.push_back(plan);
        for (;;) {
            const std::string press = presses.empty() ? "cancel" : presses.front();
            if (!presses.empty()) presses.pop_front();
            if (press == "download") return setup::QuestionAnswer::Download;
            if (press == "locate" && plan.located(this)) return setup::QuestionAnswer::Located;
            if (press == "cancel") {
                plan.cancelled();  // ends the process: throws the fake exit
                return setup::QuestionAnswer::Unavailable;
            }
        }
    }
    std::optional<std::string> chooseJavaExe(WindowRef owner, const std::u16string& title) override {
        calls.push_back(owner == this ? "chooser over the question" : "chooser");
        chooserTitles.push_back(title);
        if (picks.empty()) return std::nullopt;
        std::optional<std::string> pick = picks.front();
        picks.pop_front();
        return pick;
    }
    bool askWarning(const std::u16string&, const std::u16string&) override { return false; }
    void startWatcherThread(std::function<void()> work) override { watchers.push_back(std::move(work)); }

    std::vector<std::string> calls;
    std::vector<std::function<void()>> watchers;
    FakeProgressDialog dialog;
    bool cancelProgress = false;  // the progress dialog is cancelled instead of running its work
    std::deque<std::string> presses;
    std::deque<std::optional<std::string>> picks;
    std::vector<setup::QuestionDialogPlan> questions;
    std::vector<std::u16string> chooserTitles;
};

}  // namespace zendra::test
