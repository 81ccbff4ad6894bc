// The question when no runtime fits: its text, the choices, and the runs without a window
// of their own that show the progress dialog for it.
#include <gtest/gtest.h>

#include <algorithm>

#include "install_marks.h"
#include "installer_harness.h"
#include "jre_question.h"
#include "jvm_loader.h"
#include "jvm_registry.h"
#include "text.h"

namespace zendra::setup {
namespace {

TEST(QuestionTextTest, WordSizeAndVersionRange) {
    struct Case {
        std::u16string format, min, max, expected;
    };
    const Case cases[] = {
        {u"No %s-bit Java found.", u"", u"", u"No 64-bit Java found."},
        {u"No %s-bit Java found.", u"11", u"", u"No 64-bit Java found. (at least 11)"},
        {u"No %s-bit Java found.", u"", u"17.0.2", u"No 64-bit Java found. (at most 17.0.2)"},
        {u"No %s-bit Java found.", u"1.8", u"17", u"No 64-bit Java found. (at least 1.8, at most 17)"},
        {u"No Java (%S bits).", u"", u"", u"No Java (64 bits)."},
        // Only the first placeholder takes the word size; other directives stay as written.
        {u"100%% sure: %s, %s, %d%n", u"", u"", u"100% sure: 64, %s, %d%n"},
        {u"No Java found.", u"", u"", u"No Java found."},
        {u"", u"", u"", u""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(composeQuestionText({c.format, u"64", u"at least", c.min, u"at most", c.max}), c.expected)
            << test::narrow(c.format) << " " << test::narrow(c.min) << " " << test::narrow(c.max);
    }
}

constexpr const char* kPicked = "C:\\Picked Java\\bin\\java.exe";

// An installer whose search finds nothing, and a runtime the user can pick.
struct QuestionHarness : test::InstallerHarness {
    QuestionHarness() {
        test::addJre(sys, "c:\\picked java", test::FakeJre().withVersion("11.0.2"));
        sys.libraries.libraries["c:\\picked java\\bin\\server\\jvm.dll"].exports["JNI_CreateJavaVM"] =
            test::FakeJvm::createEntry();
    }
    void install(std::map<std::int32_t, std::string> extra = {}) {
        extra.emplace(prop::errorNoJvm, "No {0}-bit runtime");
        package("Bc:\\nowhere",
                {{prop::msgCaption, u"Setup"}, {prop::msgNoJreDownload, u"Download a %s-bit Java?"},
                 {prop::msgNoJre, u"Locate a %s-bit Java."}, {prop::msgMinVersionLabel, u"min."},
                 {prop::msgMaxVersionLabel, u"max."}, {prop::msgChooseJavaTitle, u"Pick java.exe"}},
                extra);
    }
    bool recorded(Hive hive) { return sys.registry.keyExists(hive, kLocatedJvmsKey + jvmPathKey(kPicked)); }
};

class QuestionFlowTest : public ::testing::Test, public QuestionHarness {};

// Each run mode and choice: which windows the run used, its exit code, how often the
// installer's main ran, whether the picked runtime was recorded, the marks it left, the error
// boxes shown over the question, and whether the progress dialog still owns error boxes.
TEST_F(QuestionFlowTest, ChoicesInEveryRunMode) {
    struct Case {
        const char* name;
        std::map<std::int32_t, std::string> props;
        std::deque<std::string> presses;
        std::deque<std::optional<std::string>> picks;
        std::vector<std::string> calls;  // after "common controls"
        int code;
        long mains;
        bool recorded;
        std::uint32_t globalMark;
        std::size_t boxesOverQuestion;
        bool dialogOwnsErrors;
    };
    const std::string dl = "http://example.org/jre.tar.gz";
    const Case cases[] = {
        {"dialog: locate after a cancelled chooser and an unusable pick",
         {{prop::jreDownloadLocation, dl}},
         {"locate", "locate", "locate"},
         {std::nullopt, "C:\\nowhere\\java.exe", kPicked},
         {"dialog class", "progress dialog", "question", "chooser over the question", "chooser over the question",
          "chooser over the question"},
         0, 1, true, 1, 1, true},
        {"dialog: cancel", {}, {"cancel"}, {}, {"dialog class", "progress dialog", "question"}, 1, 0, false, 0, 0,
         true},
        {"dialog: download", {{prop::jreDownloadLocation, dl}}, {"download"}, {},
         {"dialog class", "progress dialog", "question"}, 1, 0, false, 1, 0, true},
        {"dialog: download without asking", {{prop::downloadWithoutAsking, "1"}}, {}, {},
         {"dialog class", "progress dialog"}, 1, 0, false, 1, 0, true},
        {"download-only dialog: locate, then the launch on the entry thread",
         {{prop::dialogOnlyForDownload, "1"}}, {"locate"}, {kPicked},
         {"dialog class", "progress dialog", "question", "chooser over the question"}, 0, 1, true, 1, 0, false},
        {"splash: the dialog's thread carries the run to its one launch",
         {{prop::splashScreen, "1"}}, {"locate"}, {kPicked},
         {"dialog class", "progress dialog", "question", "chooser over the question"}, 0, 1, true, 1, 0, false},
    };
    for (const Case& c : cases) {
        QuestionHarness h;
        h.install(c.props);
        h.ui.presses = c.presses;
        h.ui.picks = c.picks;
        EXPECT_EQ(h.run(u""), c.code) << c.name;
        std::vector<std::string> calls{"common controls"};
        calls.insert(calls.end(), c.calls.begin(), c.calls.end());
        EXPECT_EQ(h.ui.calls, calls) << c.name;
        EXPECT_EQ(h.jvm.count("DestroyJavaVM"), c.mains) << c.name;
        EXPECT_EQ(h.recorded(Hive::LocalMachine), c.recorded) << c.name;
        EXPECT_EQ(readMark(h.l, kInstallStarted), c.globalMark) << c.name;
        EXPECT_EQ(std::count_if(h.sys.ui.boxes.begin(), h.sys.ui.boxes.end(),
                                [&](const test::ShownBox& box) { return box.owner == &h.ui; }),
                  static_cast<long>(c.boxesOverQuestion))
            << c.name;
        EXPECT_EQ(h.l.errorOwnerWindow == h.ui.dialog.window(), c.dialogOwnsErrors) << c.name;
        const bool downloads = !c.presses.empty() && c.presses.front() == "download";
        const bool asked = !c.props.contains(prop::downloadWithoutAsking);
        EXPECT_EQ(h.logText().find("Downloading JRE\n") != std::string::npos, downloads || !asked) << c.name;
    }
}

// The question as the plan gives it to the dialog: texts, the download button only with a
// location, the progress dialog as owner, and the chooser's title.
TEST_F(QuestionFlowTest, PlanTextsAndOwner) {
    install({{prop::minJavaVersion, "11"}, {prop::maxJavaVersion, "17"}});
    ui.presses = {"locate"};
    ui.picks = {kPicked};
    EXPECT_EQ(run(u""), 0) << logText();
    ASSERT_EQ(ui.questions.size(), 1u);
    const QuestionDialogPlan& plan = ui.questions[0];
    EXPECT_FALSE(plan.offerDownload);
    EXPECT_EQ(plan.text, u"Locate a " + asciiToU16(wordSizeText(l)) + u"-bit Java. (min. 11, max. 17)");
    EXPECT_EQ(plan.title, u"Setup");
    EXPECT_EQ(plan.owner, ui.dialog.window());
    EXPECT_EQ(ui.chooserTitles, std::vector<std::u16string>{u"Pick java.exe"});
    EXPECT_NE(logText().find("LoadDLL (1, C:\\Picked Java\\bin\\java.exe, 1)\n"), std::string::npos);
}

// Cancelling the progress dialog shown for the download ends the run with 0 and launches nothing.
TEST_F(QuestionFlowTest, CancelledDownloadDialogEndsWithoutLaunch) {
    install({{prop::dialogOnlyForDownload, "1"}});
    ui.cancelProgress = true;
    EXPECT_EQ(run(u""), 0);
    EXPECT_EQ(jvm.count("JNI_CreateJavaVM"), 0);
    EXPECT_EQ(readMark(l, kInstallStarted), 0u);
    EXPECT_NE(logText().find("Canceled installer\n"), std::string::npos);
}

}  // namespace
}  // namespace zendra::setup
