// The question to the user when no Java runtime fits: download one, locate a java.exe by
// hand, or cancel the installation.
#pragma once

#include <string>
#include <string_view>

#include "installer_ui.h"
#include "setup_flow.h"

namespace zendra::setup {

// The parts of the question text, as the configuration and the build give them (read only
// while the text is composed).
struct QuestionTextParts {
    std::u16string_view format;      // message 20005 (a download location exists) or 20006
    std::u16string_view wordSize;    // "64" or "32": replaces the format's first "%s"
    std::u16string_view minLabel;    // message 20019
    std::u16string_view minVersion;  // property 126; empty when not configured
    std::u16string_view maxLabel;    // message 20020
    std::u16string_view maxVersion;  // property 127; empty when not configured
};

// The question text: the format with the word size (printf rules for "%s" and "%%"), then the
// configured version range in brackets: " (" min-label version ", " max-label version ")".
std::u16string composeQuestionText(const QuestionTextParts& parts);

// What the question dialog shows for this run; owner is the progress dialog's window or none.
// Locate runs the file chooser, loads the picked runtime and records it; cancel clears the
// marks and ends the process with exit code 1.
QuestionDialogPlan questionPlan(SetupRun& run, WindowRef owner);

// The locate button: the file chooser, LoadDLL with the picked java.exe (its failures shown),
// and the record in the catalogue of runtimes located by hand. True when the runtime loaded.
bool locateJre(SetupRun& run, WindowRef questionWindow);

// Shows the question; true when the user chose the download, false when a runtime was located
// (and loaded). Cancel ends the process.
bool askForRuntime(SetupRun& run, ProgressDialog* dialog);

}  // namespace zendra::setup
