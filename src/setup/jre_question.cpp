#include "jre_question.h"

#include "errors.h"
#include "install_marks.h"
#include "jvm_loader.h"
#include "jvm_registry.h"
#include "property_ids.h"
#include "text.h"

namespace zendra::setup {
namespace {

// The format with its first "%s" (or "%S") replaced and "%%" made one "%"; any other "%"
// stays as written, so a configured text can never read arguments that are not there.
std::u16string formatWordSize(std::u16string_view format, std::u16string_view wordSize) {
    std::u16string out;
    bool replaced = false;
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char16_t next = i + 1 < format.size() ? format[i + 1] : u'\0';
        if (format[i] == u'%' && next == u'%') {
            out += u'%';
            ++i;
        } else if (format[i] == u'%' && (next == u's' || next == u'S') && !replaced) {
            out += wordSize;
            replaced = true;
            ++i;
        } else {
            out += format[i];
        }
    }
    return out;
}

std::u16string propertyText(Launcher& l, std::int32_t id) { return l.os.codec.fromAnsi(l.store.getProperty(id)); }

}  // namespace

std::u16string composeQuestionText(const QuestionTextParts& parts) {
    std::u16string text = formatWordSize(parts.format, parts.wordSize);
    const std::u16string_view bounds[][2] = {{parts.minLabel, parts.minVersion}, {parts.maxLabel, parts.maxVersion}};
    std::u16string_view opener = u" (";
    for (const auto& [label, version] : bounds) {
        if (version.empty()) continue;
        text += concat({opener, label, u" ", version});
        opener = u", ";
    }
    if (opener != u" (") text += u')';
    return text;
}

QuestionDialogPlan questionPlan(SetupRun& run, WindowRef owner) {
    Launcher& l = run.l;
    QuestionDialogPlan plan;
    plan.owner = owner;
    plan.offerDownload = !l.store.getProperty(prop::jreDownloadLocation).empty();
    plan.title = l.store.getMessage(prop::msgCaption);
    plan.download = l.store.getMessage(prop::msgDownloadButton);
    plan.locate = l.store.getMessage(prop::msgLocateButton);
    plan.cancel = l.store.getMessage(prop::msgCancelButton);
    plan.text = composeQuestionText({l.store.getMessage(plan.offerDownload ? prop::msgNoJreDownload : prop::msgNoJre),
                                     asciiToU16(wordSizeText(l)), l.store.getMessage(prop::msgMinVersionLabel),
                                     propertyText(l, prop::minJavaVersion), l.store.getMessage(prop::msgMaxVersionLabel),
                                     propertyText(l, prop::maxJavaVersion)});
    plan.located = [&run](WindowRef window) { return locateJre(run, window); };
    plan.cancelled = [&l] {
        mark(l, MarkChange::Clear, true, true);
        fatalExit(l, 1);
    };
    return plan;
}

bool locateJre(SetupRun& run, WindowRef questionWindow) {
    Launcher& l = run.l;
    const std::optional<std::string> picked =
        run.ui.chooseJavaExe(questionWindow, l.store.getMessage(prop::msgChooseJavaTitle));
    if (!picked) return false;
    // Why a picked runtime cannot serve is shown over the question, which stays open.
    const WindowRef owner = l.errorOwnerWindow;
    l.errorOwnerWindow = questionWindow;
    const bool loaded = LoadDLL(l, true, *picked, true);
    l.errorOwnerWindow = owner;
    if (loaded) recordLocatedJvm(l, *picked);
    return loaded;
}

bool askForRuntime(SetupRun& run, ProgressDialog* dialog) {
    Launcher& l = run.l;
    switch (run.ui.runQuestionDialog(questionPlan(run, dialog != nullptr ? dialog->window() : nullptr))) {
        case QuestionAnswer::Download:
            return true;
        case QuestionAnswer::Located:
            return false;
        case QuestionAnswer::Unavailable:
            break;
    }
    // Without the dialog nobody can choose: the run ends as one that found no runtime.
    l.log.error("Could not show the question dialog");
    mark(l, MarkChange::Clear, true, true);
    fatalPropertyWithArgument(l, prop::errorNoJvm, wordSizeText(l));
}

}  // namespace zendra::setup
