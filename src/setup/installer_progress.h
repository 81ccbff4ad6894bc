// The progress bar of the installer's progress dialog, as the installer's steps move it.
#pragma once

namespace zendra::setup {

// The progress bar of the progress dialog (control 1001); the steps receive nullptr when the
// run shows no dialog. Calls may come from any thread.
class InstallerProgress {
public:
    virtual ~InstallerProgress() = default;
    // Sets the bar's range.
    virtual void setRange(int low, int high) = 0;
    // Moves the bar to a position inside its range.
    virtual void setPosition(int position) = 0;
};

}  // namespace zendra::setup
