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

// fetchJre over the fakes, in c:\work, with errors on standard error.
struct FetchHarness {
    FetchHarness() {
        sys.fs.addDirectory("c:\\work");
        sys.fs.addDirectory("c:\\tmp");
        sys.env.vars["TMP"] = "c:\\tmp";
        l.errorDisplayMode = false;
        l.store.setMessage(prop::msgDownloading, u"Downloading");
        l.store.setMessage(prop::msgDownloadUnavailable, u"No Internet client");
        l.store.setMessage(prop::msgDownloadFailed, u"Download failed");
        l.store.setMessage(prop::msgConnecting, u"Connecting");
        l.store.setMessage(prop::msgCancelButton, u"Stop");
        l.store.setMessage(prop::msgDownloadStatus, u"%.2f of %.2f MB (%.0f%%), %.1f bytes/ms");
        run.download = &services;
    }
    // The exit code, or kReturned when the fetch returned.
    int fetch(bool withDialog = false, const std::string& url = kUrl) {
        try {
            fetchJre(run, withDialog ? &dialog : nullptr, url);
            return kReturned;
        } catch (const test::FakeExit& e) {
            return e.code;
        }
    }
    // The log's error lines, without the prefix.
    std::vector<std::string> errors() {
        std::vector<std::string> lines;
        const std::string text = sys.fs.content(l.log.getLogFilePath().value_or(""));
        for (std::size_t at = text.find("ERROR: "); at != std::string::npos; at = text.find("ERROR: ", at + 1)) {
            lines.push_back(text.substr(at + 7, text.find('\n', at) - at - 7));
        }
        return lines;
    }
    int count(const std::string& call) { return static_cast<int>(std::count(internet.calls.begin(), internet.calls.end(), call)); }

    test::FakeSystem sys;
    Launcher l{sys.platform, LauncherKind::Setup};
    test::FakeInstallerUi ui;
    test::FakeInternetClient internet{sys.desktop};
    test::FakeHashing hashing;
    DownloadServices services{internet, hashing};
    SetupRun run{l, ui};
    test::FakeProgressDialog dialog;
};

std::string bytes(std::size_t n) {
    std::string body(n, '\0');
    for (std::size_t i = 0; i < n; ++i) body[i] = static_cast<char>(i * 7 + 3);
    return body;
}

test::FakeAnswer answer(const std::string& body, std::optional<std::uint32_t> length, std::uint32_t status = 200) {
    return {status, length, body, std::nullopt};
}

std::string repeat(const std::string& line, int from, int to) {
    std::string all;
    for (int i = from; i <= to; ++i) all += line + std::to_string(i) + ") failed with error code 12150\n";
    return all;
}

std::string joined(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& line : lines) all += line + "\n";
    return all;
}

// Every way a transfer ends: the exit code, the text shown, the error lines, what is left in
// the working directory, how often the location was opened, and the pauses between openings.
TEST(FetchJreTest, TransfersEndAsTheirServerAndSystemAllow) {
    const std::string body = bytes(40000);
    const std::string abc = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";
    struct Case {
        const char* name;
        std::function<void(FetchHarness&)> setUp;
        int code;
        std::string errors;
        std::optional<std::string> file;  // the file's content; nullopt: no file
        int opens;
    };
    const std::string noLength = "HttpQueryInfo (try ";
    const Case cases[] = {
        {"whole body", [&](FetchHarness& h) { h.internet.answers = {answer(body, 40000)}; }, kReturned, "", body, 1},
        {"empty body", [&](FetchHarness& h) { h.internet.answers = {answer("", 0)}; }, kReturned, "", "", 1},
        {"length on the third try",
         [&](FetchHarness& h) { h.internet.answers = {answer(body, {}), answer(body, {}), answer(body, 40000)}; },
         kReturned, repeat(noLength, 1, 2), body, 3},
        {"never a length", [&](FetchHarness& h) { h.internet.answers = {answer(body, {})}; }, 1,
         repeat(noLength, 1, 20) + "Giving up\n", std::nullopt, 20},
        {"connection ends early", [&](FetchHarness& h) { h.internet.answers = {answer(body, 50000)}; }, 1,
         "The connection ended after 40000 of 50000 bytes\n", std::nullopt, 1},
        {"read fails",
         [&](FetchHarness& h) { h.internet.answers = {{200, 50000, body, 12030}}; }, 1,
         "InternetReadFile failed with error code 12030\n", std::nullopt, 1},
        {"not found", [&](FetchHarness& h) { h.internet.answers = {answer("gone", 4, 404)}; }, 1,
         std::string("The server answered ") + kUrl + " with HTTP status 404\n", std::nullopt, 1},
        {"error page on the retry",
         [&](FetchHarness& h) { h.internet.answers = {answer(body, {}), answer("oops", 4, 500)}; }, 1,
         repeat(noLength, 1, 1) + "The server answered " + kUrl + " with HTTP status 500\n", std::nullopt, 2},
        {"no session", [&](FetchHarness& h) { h.internet.sessionError = 12007; }, 1,
         "InternetOpen failed with error code 12007\n", std::nullopt, 0},
        {"no connection", [&](FetchHarness& h) { h.internet.openFailsFrom = 1; }, 1,
         "InternetOpenUrl failed with error code 12029\n", std::nullopt, 1},
        {"no connection on the retry",
         [&](FetchHarness& h) {
             h.internet.answers = {answer(body, {})};
             h.internet.openFailsFrom = 2;
         },
         1, repeat(noLength, 1, 1) + "InternetOpenUrl 2 failed with error code 12029\n", std::nullopt, 2},
        {"attempt refused is only logged",
         [&](FetchHarness& h) {
             h.internet.attemptResult = 5;
             h.internet.answers = {answer(body, 40000)};
         },
         kReturned, "InternetAttemptConnect returned 5\n", body, 1},
        {"target cannot be created",
         [&](FetchHarness& h) {
             h.internet.answers = {answer(body, 40000)};
             h.sys.fs.unwritableFiles.insert(kTarget);
         },
         1, std::string("opening the destination file ") + kTarget + " failed with error code 5\n", std::nullopt, 1},
        {"disk full",
         [&](FetchHarness& h) {
             h.internet.answers = {answer(body, 40000)};
             h.sys.fs.fileSizeLimit = 20000;
         },
         1, std::string("writing the destination file ") + kTarget + " failed with error code 112\n", std::nullopt, 1},
        {"digest matches",
         [&](FetchHarness& h) {
             h.internet.answers = {answer("abc", 3)};
             h.l.store.setProperty(prop::jreDownloadDigest, "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD");
         },
         kReturned, "", "abc", 1},
        {"digest differs",
         [&](FetchHarness& h) {
             h.internet.answers = {answer("abd", 3)};
             h.l.store.setProperty(prop::jreDownloadDigest, abc);
         },
         1,
         "SHA-256 of the download is a52d159f262b2c6ddb724a61840befc36eb30c88877a4030b65cbe86298449c9, expected " +
             abc + "\n",
         std::nullopt, 1},
        {"digest malformed",
         [&](FetchHarness& h) { h.l.store.setProperty(prop::jreDownloadDigest, abc.substr(1) + "g"); }, 1,
         "The expected SHA-256 of the download is not 64 hex digits: " + abc.substr(1) + "g\n", std::nullopt, 0},
        {"no hashing",
         [&](FetchHarness& h) {
             h.l.store.setProperty(prop::jreDownloadDigest, abc);
             h.hashing.unavailable = true;
         },
         1, "SHA-256 is not available (error code 0xC0000225)\n", std::nullopt, 0},
    };
    for (const Case& c : cases) {
        FetchHarness h;
        c.setUp(h);
        EXPECT_EQ(h.fetch(), c.code) << c.name;
        EXPECT_EQ(joined(h.errors()), c.errors) << c.name;
        EXPECT_EQ(h.sys.fs.exists(kTarget) ? std::optional(h.sys.fs.content(kTarget)) : std::nullopt, c.file) << c.name;
        EXPECT_EQ(h.count("open " + std::string(kUrl)), c.opens) << c.name;
        EXPECT_EQ(h.internet.handlesOpen, 0) << c.name;
        const int pauses = static_cast<int>(std::count(h.sys.desktop.calls.begin(), h.sys.desktop.calls.end(), "sleep 300"));
        EXPECT_EQ(pauses, std::max(c.opens - 1, 0)) << c.name;
        EXPECT_EQ(h.sys.ui.stderrWide.substr(0, 15), c.code == 1 ? u"Download failed" : u"") << c.name;
        if (c.code == kReturned) {
            EXPECT_EQ(h.internet.calls.front(), "load");
            EXPECT_EQ(h.internet.calls.at(1), "session quillon download agent");
            EXPECT_EQ(h.internet.calls.back(), "close session") << c.name;
        }
    }
}

// The reads ask for 16384 bytes at most and never for more than remains.
TEST(FetchJreTest, ReadsTakeSixteenKilobytesAtMost) {
    FetchHarness h;
    h.internet.answers = {answer(bytes(40000), 40000)};
    EXPECT_EQ(h.fetch(), kReturned);
    EXPECT_EQ(h.internet.readSizes, (std::vector<std::size_t>{16384, 16384, 7232}));
}

// Without the Internet client's library, or without its functions, the download is unavailable.
TEST(FetchJreTest, AMissingLibraryEndsWithItsOwnText) {
    for (const auto& [loaded, line] : {std::pair{InternetLoad::NoLibrary, "Could not load wininet.dll"},
                                      std::pair{InternetLoad::NoFunctions, "Could not load wininet functions"}}) {
        FetchHarness h;
        h.internet.loaded = loaded;
        EXPECT_EQ(h.fetch(), 1);
        EXPECT_EQ(h.errors(), std::vector<std::string>{line});
        EXPECT_EQ(h.sys.ui.stderrWide.substr(0, 18), u"No Internet client");
        EXPECT_EQ(h.count("session quillon download agent"), 0);
    }
}

// With a dialog: the download texts, "connecting", then the status line and the bar at most
// every 500 ms, and the status line hidden at the end.
TEST(FetchJreTest, TheDialogShowsTheStatusAtMostTwiceASecond) {
    FetchHarness h;
    h.internet.answers = {answer(bytes(10 * 16384), 10 * 16384)};
    h.internet.chunk = 16384;
    h.internet.msPerRead = 200;
    EXPECT_EQ(h.fetch(true), kReturned);
    EXPECT_EQ(h.dialog.texts, (std::vector<std::u16string>{u"Downloading", u"Stop"}));
    EXPECT_EQ(h.dialog.calls, (std::vector<std::string>{"status shown", "status hidden"}));
    EXPECT_EQ(h.dialog.statuses, (std::vector<std::u16string>{u"Connecting", u"0.05 of 0.16 MB (30%), 81.9 bytes/ms",
                                                              u"0.09 of 0.16 MB (60%), 81.9 bytes/ms",
                                                              u"0.14 of 0.16 MB (90%), 81.9 bytes/ms"}));
    EXPECT_EQ(h.dialog.positions, (std::vector<int>{30, 60, 90}));
}

TEST(DownloadStatusTest, FormatsTakeTheValuesInOrder) {
    const double values[] = {1.5, 20.26, 7.4, 1234.5678};
    const struct {
        std::u16string format;
        std::u16string text;
    } rows[] = {
        {u"%.1f/%.1f MB, %.0f%%, %.2f B/ms", u"1.5/20.3 MB, 7%, 1234.57 B/ms"},
        {u"\u00e9t\u00e9 %5.1lf|%-6.1f|%+g|%e", u"\u00e9t\u00e9   1.5|20.3  |+7.4|1.234568e+03"},
        {u"%d %s %.1f %f", u"%d %s 1.5 20.260000"},  // only floating-point conversions take values
        {u"%f %f %f %f %f", u"1.500000 20.260000 7.400000 1234.567800 %f"},  // a fifth has no value
        {u"%999f %.123f %", u"%999f %.123f %"},             // widths and precisions of 100 and more stay text
    };
    for (const auto& row : rows) EXPECT_EQ(formatWithNumbers(row.format, values), row.text) << test::narrow(row.format);
    EXPECT_EQ(downloadStatusText(u"%.2f %.2f %.1f %.1f", 524288, 1048576, 1000), u"0.50 1.00 50.0 524.3");
    EXPECT_EQ(downloadPercent(1, 3), 33);
    EXPECT_EQ(downloadPercent(0, 0), 100);
}

}  // namespace
}  // namespace zendra::setup
