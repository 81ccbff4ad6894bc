#include <gtest/gtest.h>

#include "download_status.h"
#include "fake_installer_ui.h"
#include "fake_internet.h"
#include "fake_platform.h"
#include "jre_download.h"
#include "property_ids.h"

namespace zendra::setup {
namespace {

constexpr const char* kUrl = "http://example.test/jre.tar.gz";
constexpr const char* kTarget = "c:\\work\\jre.tar.gz";
constexpr int kReturned = -1;
const std::string kAbc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";  // SHA-256 of "abc"

// fetchJre over the fakes, in c:\work, with errors on standard error.
struct FetchHarness {
    FetchHarness() {
        sys.fs.addDirectory("c:\\work");
        sys.env.vars["TMP"] = "c:\\work";
        l.errorDisplayMode = false;
        for (auto [id, text] : {std::pair{prop::msgDownloading, u"Downloading"}, {prop::msgCancelButton, u"Stop"},
                                {prop::msgDownloadFailed, u"Failed"}, {prop::msgDownloadUnavailable, u"No client"},
                                {prop::msgConnecting, u"Connecting"}, {prop::msgDownloadStatus, u"%.2f/%.2f MB %.0f%% %.1f"}})
            l.store.setMessage(id, text);
        run.download = &services;
    }
    // The exit code, or kReturned.
    int fetch(ProgressDialog* dialog = nullptr) {
        try {
            fetchJre(run, dialog, kUrl);
            return kReturned;
        } catch (const test::FakeExit& e) {
            return e.code;
        }
    }
    // The log's error lines, each ended by "\n".
    std::string errors() {
        std::string lines;
        const std::string text = sys.fs.content(l.log.getLogFilePath().value_or(""));
        for (std::size_t at = text.find("ERROR: "); at != std::string::npos; at = text.find("ERROR: ", at + 1))
            lines += text.substr(at + 7, text.find('\n', at) - at - 6);
        return lines;
    }

    test::FakeSystem sys;
    Launcher l{sys.platform, LauncherKind::Setup};
    test::FakeInstallerUi ui;
    test::FakeInternetClient internet{sys.desktop};
    test::FakeHashing hashing;
    DownloadServices services{internet, hashing};
    SetupRun run{l, ui};
};

std::string tries(int last) {
    std::string lines;
    for (int i = 1; i <= last; ++i) lines += "HttpQueryInfo (try " + std::to_string(i) + ") failed with error code 12150\n";
    return lines;
}

// Every way a transfer ends: exit code, error lines, what is left in the working directory,
// how often the location was opened (with 300 ms between openings); no handle stays open.
TEST(FetchJreTest, TransfersEndAsTheServerAndTheSystemAllow) {
    const std::string body(40000, 'x');
    const test::FakeAnswer whole{200, 40000, body}, noLength{200, std::nullopt, body};
    const std::string url = kUrl, target = kTarget;
    const struct {
        const char* name;
        std::vector<test::FakeAnswer> answers;
        std::string digest;
        int openFailsFrom;
        std::size_t diskLimit;
        int code;
        std::string errors;
        bool fileLeft;
        int opens;
    } cases[] = {
        {"whole body", {whole}, "", 0, SIZE_MAX, kReturned, "", true, 1},
        {"length on the third try", {noLength, noLength, whole}, "", 0, SIZE_MAX, kReturned, tries(2), true, 3},
        {"never a length", {noLength}, "", 0, SIZE_MAX, 1, tries(20) + "Giving up\n", false, 20},
        {"connection ends early", {{200, 50000, body}}, "", 0, SIZE_MAX, 1,
         "The connection ended after 40000 of 50000 bytes\n", false, 1},
        {"read fails", {{200, 50000, body, 12030}}, "", 0, SIZE_MAX, 1, "InternetReadFile failed with error code 12030\n",
         false, 1},
        {"error page", {noLength, {404, 4, "gone"}}, "", 0, SIZE_MAX, 1,
         tries(1) + "The server answered " + url + " with HTTP status 404\n", false, 2},
        {"no connection on the retry", {noLength}, "", 2, SIZE_MAX, 1,
         tries(1) + "InternetOpenUrl 2 failed with error code 12029\n", false, 2},
        {"disk full", {whole}, "", 0, 20000, 1, "writing the destination file " + target + " failed with error code 112\n",
         false, 1},
        {"digest matches", {{200, 3, "abc"}}, "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD", 0,
         SIZE_MAX, kReturned, "", true, 1},
        {"digest differs", {{200, 3, "abd"}}, kAbc, 0, SIZE_MAX, 1,
         "SHA-256 of the download is a52d159f262b2c6ddb724a61840befc36eb30c88877a4030b65cbe86298449c9, expected " +
             kAbc + "\n",
         false, 1},
        {"digest malformed", {whole}, kAbc + "0", 0, SIZE_MAX, 1,
         "The expected SHA-256 of the download is not 64 hex digits: " + kAbc + "0\n", false, 0},
    };
    for (const auto& c : cases) {
        FetchHarness h;
        h.internet.answers = c.answers;
        h.internet.openFailsFrom = c.openFailsFrom;
        h.sys.fs.fileSizeLimit = c.diskLimit;
        h.l.store.setProperty(prop::jreDownloadDigest, c.digest);
        EXPECT_EQ(h.fetch(), c.code) << c.name;
        EXPECT_EQ(h.errors(), c.errors) << c.name;
        EXPECT_EQ(h.sys.fs.exists(kTarget), c.fileLeft) << c.name;
        EXPECT_EQ(std::count(h.internet.calls.begin(), h.internet.calls.end(), "open " + url), c.opens) << c.name;
        EXPECT_EQ(std::count(h.sys.desktop.calls.begin(), h.sys.desktop.calls.end(), "sleep 300"), std::max(c.opens - 1, 0));
        EXPECT_EQ(h.internet.handlesOpen, 0) << c.name;
        EXPECT_EQ(h.sys.ui.stderrWide.substr(0, 6), c.code == 1 ? u"Failed" : u"") << c.name;
    }
}

// Without the Internet client's library, or without its functions, the download is unavailable.
TEST(FetchJreTest, AMissingLibraryEndsWithItsOwnText) {
    for (const auto& [loaded, line] : {std::pair{InternetLoad::NoLibrary, "Could not load wininet.dll\n"},
                                      std::pair{InternetLoad::NoFunctions, "Could not load wininet functions\n"}}) {
        FetchHarness h;
        h.internet.loaded = loaded;
        EXPECT_EQ(h.fetch(), 1);
        EXPECT_EQ(h.errors(), line);
        EXPECT_EQ(h.sys.ui.stderrWide.substr(0, 9), u"No client");
    }
}

// With a dialog: the download texts, "connecting", then the status line and the bar at most
// every 500 ms, and the status line hidden at the end; reads of 16384 bytes at most.
TEST(FetchJreTest, TheDialogShowsTheStatusAtMostTwiceASecond) {
    FetchHarness h;
    test::FakeProgressDialog dialog;
    const std::string body(10 * 16384 - 1000, 'z');
    h.internet.answers = {{200, static_cast<std::uint32_t>(body.size()), body}};
    h.internet.msPerRead = 200;
    EXPECT_EQ(h.fetch(&dialog), kReturned);
    EXPECT_EQ(h.internet.calls.at(0), "session quillon download agent");
    std::vector<std::size_t> reads(9, 16384);
    reads.push_back(15384);
    EXPECT_EQ(h.internet.readSizes, reads);
    EXPECT_EQ(h.sys.fs.content(kTarget), body);
    EXPECT_EQ(dialog.texts, (std::vector<std::u16string>{u"Downloading", u"Stop"}));
    EXPECT_EQ(dialog.calls, (std::vector<std::string>{"status shown", "status hidden"}));
    EXPECT_EQ(dialog.statuses, (std::vector<std::u16string>{u"Connecting", u"0.05/0.16 MB 30% 81.9",
                                                            u"0.09/0.16 MB 60% 81.9", u"0.14/0.16 MB 91% 81.9"}));
    EXPECT_EQ(dialog.positions, (std::vector<int>{30, 60, 90}));
}

TEST(DownloadStatusTest, FormatsTakeTheValuesInOrder) {
    const double values[] = {1.5, 20.26, 7.4, 1234.5678};
    const std::pair<std::u16string, std::u16string> rows[] = {
        {u"\u00e9 %5.1lf|%-6.1f|%+g|%e %%", u"\u00e9   1.5|20.3  |+7.4|1.234568e+03 %"},
        {u"%d %s %.1f %f", u"%d %s 1.5 20.260000"},  // only floating-point conversions take values
        {u"%f %f %f %f %f", u"1.500000 20.260000 7.400000 1234.567800 %f"},  // a fifth has no value
        {u"%999f %.123f %", u"%999f %.123f %"},  // widths and precisions of 100 and more stay text
    };
    for (const auto& [format, text] : rows) EXPECT_EQ(formatWithNumbers(format, values), text);
    EXPECT_EQ(downloadPercent(1, 3), 33);
    EXPECT_EQ(downloadPercent(0, 0), 100);
}

}  // namespace
}  // namespace zendra::setup
