// The installer's windows in memory: the progress dialog runs its work at once on the calling
// thread, and watcher threads are kept for the test to run.
#pragma once

#include <functional>
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

// Records every request; the question is answered no.
class FakeInstallerUi final : public setup::InstallerUi {
public:
    void initCommonControls() override { calls.push_back("common controls"); }
    void registerDialogClass() override { calls.push_back("dialog class"); }
    int runProgressDialog(const setup::ProgressDialogPlan& plan) override {
        calls.push_back("progress dialog");
        if (plan.opened) plan.opened(dialog);
        plan.work(dialog);
        return 0;
    }
    bool askWarning(const std::u16string&, const std::u16string&) override { return false; }
    void startWatcherThread(std::function<void()> work) override { watchers.push_back(std::move(work)); }

    std::vector<std::string> calls;
    std::vector<std::function<void()>> watchers;
    FakeProgressDialog dialog;
};

}  // namespace zendra::test
