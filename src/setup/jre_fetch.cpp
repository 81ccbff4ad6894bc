// The runtime download's transfer: the Internet client, the content length, the read loop
// with its status line, and the check of the archive's SHA-256.
#include <algorithm>
#include <cstdio>
#include <optional>
#include <vector>

#include "download_status.h"
#include "errors.h"
#include "internet_client.h"
#include "jre_archive.h"
#include "jre_download.h"
#include "property_ids.h"

namespace zendra::setup {
namespace {

constexpr const char* kUserAgent = "quillon download agent";
constexpr int kLengthAttempts = 20;
constexpr std::uint32_t kRetryPauseMs = 300;
constexpr std::size_t kReadSize = 16384;
constexpr std::uint32_t kStatusPeriodMs = 500;

int code(std::uint32_t error) { return static_cast<int>(error); }

std::string hexOf(const Sha256Digest& digest) {
    constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (std::uint8_t byte : digest) {
        text += kDigits[byte >> 4];
        text += kDigits[byte & 15];
    }
    return text;
}

// Turns a configured digest to lower case; false when it is not 64 hex digits.
bool lowerDigest(std::string& text) {
    if (text.size() != 64) return false;
    for (char& c : text) {
        if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
        if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
    }
    return true;
}

// One transfer of a location into a file. Every failure leaves no file behind.
class Transfer {
public:
    Transfer(Launcher& l, DownloadServices& services, ProgressDialog* dialog, const std::string& url,
             const std::string& target)
        : l_(l), services_(services), dialog_(dialog), url_(url), target_(target) {}

    bool run() {
        if (dialog_ != nullptr) dialog_->setStatus(l_.store.getMessage(prop::msgConnecting));
        if (const std::uint32_t result = services_.internet.attemptConnect(); result != 0) {
            l_.log.error("InternetAttemptConnect returned %d", code(result));
        }
        if (!prepareDigest()) return false;
        std::uint32_t error = 0;
        session_ = services_.internet.openSession(kUserAgent, error);
        if (!session_) {
            l_.log.error("InternetOpen failed with error code %d", code(error));
            return false;
        }
        if (!open("InternetOpenUrl failed with error code %d")) return false;
        const std::optional<std::uint32_t> length = contentLength();
        if (!length) return false;
        l_.log.message("file size: %u, handle %p", *length, request_->handleValue());
        file_ = l_.os.fs.createWrite(target_, error);
        if (!file_) {
            l_.log.error("opening the destination file %s failed with error code %d", target_.c_str(), code(error));
            return false;
        }
        created_ = true;
        if (!receive(*length) || !finish()) {
            discard();
            return false;
        }
        l_.log.message("download successful");
        return true;
    }

private:
    // With property 3001 set, a SHA-256 runs over the bytes as they are written.
    bool prepareDigest() {
        const std::string& configured = l_.store.getProperty(prop::jreDownloadDigest);
        if (configured.empty()) return true;
        expected_ = configured;
        if (!lowerDigest(expected_)) {
            l_.log.error("The expected SHA-256 of the download is not 64 hex digits: %s", configured.c_str());
            return false;
        }
        std::uint32_t error = 0;
        hash_ = services_.hashing.sha256(error);
        if (!hash_) l_.log.error("SHA-256 is not available (error code 0x%08X)", static_cast<unsigned>(error));
        return hash_ != nullptr;
    }

    // Opens the location (again); false with failureLine logged. A status outside 200..299
    // is a failure too: an error page is not the runtime.
    bool open(const char* failureLine) {
        request_.reset();
        std::uint32_t error = 0;
        request_ = session_->openUrl(url_, error);
        if (!request_) {
            l_.log.error(failureLine, code(error));
            return false;
        }
        const std::optional<std::uint32_t> status = request_->statusCode(error);
        if (status && (*status < 200 || *status > 299)) {
            l_.log.error("The server answered %s with HTTP status %u", url_.c_str(), *status);
            return false;
        }
        return true;
    }

    // The content length, asked up to 20 times on a fresh request 300 ms apart.
    std::optional<std::uint32_t> contentLength() {
        for (int attempt = 1;; ++attempt) {
            std::uint32_t error = 0;
            if (const std::optional<std::uint32_t> length = request_->contentLength(error)) return length;
            l_.log.error("HttpQueryInfo (try %d) failed with error code %d", attempt, code(error));
            if (attempt == kLengthAttempts) {
                l_.log.error("Giving up");
                return std::nullopt;
            }
            l_.os.desktop.sleep(kRetryPauseMs);
            if (!open("InternetOpenUrl 2 failed with error code %d")) return std::nullopt;
        }
    }

    // The read loop: every announced byte, written as it arrives.
    bool receive(std::uint32_t length) {
        std::vector<std::uint8_t> buffer(kReadSize);
        const std::uint32_t started = l_.os.desktop.tickCount();
        std::uint32_t shown = started;
        std::uint64_t received = 0;
        while (received < length) {
            const std::size_t wanted = static_cast<std::size_t>(std::min<std::uint64_t>(kReadSize, length - received));
            const IoResult got = request_->read(buffer.data(), wanted);
            if (!got.ok) {
                l_.log.error("InternetReadFile failed with error code %d", code(got.error));
                return false;
            }
            if (got.bytes == 0) {
                l_.log.error("The connection ended after %llu of %u bytes",
                             static_cast<unsigned long long>(received), length);
                return false;
            }
            if (!write(buffer.data(), got.bytes)) return false;
            received += got.bytes;
            const std::uint32_t now = l_.os.desktop.tickCount();
            if (dialog_ != nullptr && now - shown >= kStatusPeriodMs) {
                showProgress(received, length, now - started);
                shown = now;
            }
        }
        return true;
    }

    bool write(const std::uint8_t* data, std::size_t size) {
        const IoResult written = file_->write(data, size);
        if (!written.ok || written.bytes != size) {
            discard();
            l_.log.error("writing the destination file %s failed with error code %d", target_.c_str(),
                         code(written.error));
            return false;
        }
        if (hash_ && !hash_->update(data, size)) {
            l_.log.error("SHA-256 of the download failed");
            return false;
        }
        return true;
    }

    void showProgress(std::uint64_t received, std::uint32_t length, std::uint32_t elapsedMs) {
        const std::u16string text =
            downloadStatusText(l_.store.getMessage(prop::msgDownloadStatus), received, length, elapsedMs);
        const int percent = downloadPercent(received, length);
        dialog_->setStatus(text);
        dialog_->setPosition(percent);
        l_.log.message("download status %d%%: %s", percent, l_.os.codec.toAnsi(text).text.c_str());
    }

    // Closes the file and both handles; with a digest configured, compares it.
    bool finish() {
        file_.reset();
        request_.reset();
        session_.reset();
        if (!hash_) return true;
        const std::optional<Sha256Digest> digest = hash_->finish();
        if (!digest) {
            l_.log.error("SHA-256 of the download failed");
            return false;
        }
        const std::string actual = hexOf(*digest);
        if (actual != expected_) {
            l_.log.error("SHA-256 of the download is %s, expected %s", actual.c_str(), expected_.c_str());
            return false;
        }
        l_.log.message("SHA-256 of the download matches: %s", actual.c_str());
        return true;
    }

    // Closes and deletes a partly written or rejected file.
    void discard() {
        if (!created_) return;
        file_.reset();
        created_ = false;
        if (!l_.os.fs.deleteFile(target_)) l_.log.error("Could not delete %s", target_.c_str());
    }

    Launcher& l_;
    DownloadServices& services_;
    ProgressDialog* dialog_;
    const std::string& url_;
    const std::string& target_;
    std::string expected_;  // the configured digest in lower case
    std::unique_ptr<Sha256> hash_;
    std::unique_ptr<InternetSession> session_;
    std::unique_ptr<InternetRequest> request_;
    std::unique_ptr<File> file_;
    bool created_ = false;  // the file exists and is this transfer's
};

}  // namespace

void fetchJre(SetupRun& run, ProgressDialog* dialog, const std::string& location) {
    Launcher& l = run.l;
    if (dialog != nullptr) {
        dialog->setText(l.store.getMessage(prop::msgDownloading));
        dialog->setCancelLabel(l.store.getMessage(prop::msgCancelButton));
        dialog->showStatus(true);
    }
    const InternetLoad loaded = run.download != nullptr ? run.download->internet.load() : InternetLoad::NoLibrary;
    if (loaded != InternetLoad::Ready) {
        l.log.error(loaded == InternetLoad::NoLibrary ? "Could not load wininet.dll"
                                                      : "Could not load wininet functions");
        fatalMessageProperty(l, prop::msgDownloadUnavailable);
    }
    const std::string target = inWorkingDirectory(l, kJreArchiveName);
    if (!Transfer(l, *run.download, dialog, location, target).run()) fatalMessageProperty(l, prop::msgDownloadFailed);
    if (dialog != nullptr) dialog->showStatus(false);
}

}  // namespace zendra::setup
