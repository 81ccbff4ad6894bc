// The runtime download's services in memory: an Internet client that plays a scripted server
// and records what was asked of it, and SHA-256 by the packaging tool's own implementation.
#pragma once

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "fake_desktop.h"
#include "internet_client.h"
#include "pack_model.h"
#include "pack_text.h"
#include "sha256.h"

namespace zendra::test {

// What the server answers to one opening of the location.
struct FakeAnswer {
    std::optional<std::uint32_t> status = 200;  // nullopt: the answer has none (error 12150)
    std::optional<std::uint32_t> length;        // nullopt: no content length (error 12150)
    std::string body;                           // what the reads deliver
    std::optional<std::uint32_t> readError;     // the read after the body fails with this error
};

// A scripted server: the n-th opening gets answers[n] (the last one repeats). Each read
// delivers at most chunk bytes and advances the desktop clock by msPerRead.
class FakeInternetClient final : public setup::InternetClient {
public:
    explicit FakeInternetClient(FakeDesktop& desktop) : desktop_(desktop) {}

    setup::InternetLoad load() override {
        calls.push_back("load");
        return loaded;
    }
    std::uint32_t attemptConnect() override { return attemptResult; }
    std::unique_ptr<setup::InternetSession> openSession(const std::string& userAgent, std::uint32_t& error) override {
        calls.push_back("session " + userAgent);
        if (sessionError) error = *sessionError;
        return sessionError ? nullptr : std::make_unique<Session>(*this);
    }

    setup::InternetLoad loaded = setup::InternetLoad::Ready;
    std::uint32_t attemptResult = 0;
    std::optional<std::uint32_t> sessionError;
    int openFailsFrom = 0;        // openings from this one on (1-based) fail with error 12029; 0: none
    std::vector<FakeAnswer> answers{FakeAnswer{}};
    std::size_t chunk = 100000;
    std::uint32_t msPerRead = 0;
    std::vector<std::string> calls;      // "load", "session AGENT", "open URL", "close session"
    int handlesOpen = 0;                 // sessions and requests not closed yet
    std::vector<std::size_t> readSizes;  // the size of every read asked for

private:
    class Request final : public setup::InternetRequest {
    public:
        Request(FakeInternetClient& client, FakeAnswer answer) : client_(client), answer_(std::move(answer)) {
            ++client_.handlesOpen;
        }
        ~Request() override { --client_.handlesOpen; }
        std::optional<std::uint32_t> statusCode(std::uint32_t& error) override { return number(answer_.status, error); }
        std::optional<std::uint32_t> contentLength(std::uint32_t& error) override { return number(answer_.length, error); }
        IoResult read(void* buffer, std::size_t size) override {
            client_.readSizes.push_back(size);
            client_.desktop_.ticks += client_.msPerRead;
            const std::size_t n = std::min({size, client_.chunk, answer_.body.size() - at_});
            if (n == 0 && answer_.readError) return {0, *answer_.readError, false};
            std::copy_n(answer_.body.data() + at_, n, static_cast<char*>(buffer));
            at_ += n;
            return {n, 0, true};
        }
        const void* handleValue() const override { return this; }

    private:
        static std::optional<std::uint32_t> number(std::optional<std::uint32_t> value, std::uint32_t& error) {
            if (!value) error = 12150;  // ERROR_HTTP_HEADER_NOT_FOUND
            return value;
        }
        FakeInternetClient& client_;
        FakeAnswer answer_;
        std::size_t at_ = 0;
    };

    class Session final : public setup::InternetSession {
    public:
        explicit Session(FakeInternetClient& client) : client_(client) { ++client_.handlesOpen; }
        ~Session() override {
            --client_.handlesOpen;
            client_.calls.push_back("close session");
        }
        std::unique_ptr<setup::InternetRequest> openUrl(const std::string& url, std::uint32_t& error) override {
            client_.calls.push_back("open " + url);
            const int n = ++client_.openings_;
            if (client_.openFailsFrom != 0 && n >= client_.openFailsFrom) {
                error = 12029;  // ERROR_INTERNET_CANNOT_CONNECT
                return nullptr;
            }
            const auto& script = client_.answers;
            return std::make_unique<Request>(client_, script[std::min<std::size_t>(n - 1, script.size() - 1)]);
        }

    private:
        FakeInternetClient& client_;
    };

    FakeDesktop& desktop_;
    int openings_ = 0;
};

// SHA-256 of the bytes given, through the packaging tool's implementation.
class FakeHashing final : public setup::Hashing {
public:
    std::unique_ptr<setup::Sha256> sha256(std::uint32_t& error) override {
        if (unavailable) error = 0xC0000225;  // STATUS_NOT_FOUND
        return unavailable ? nullptr : std::make_unique<Hash>();
    }
    bool unavailable = false;

private:
    class Hash final : public setup::Sha256 {
    public:
        bool update(const void* data, std::size_t size) override {
            bytes_.insert(bytes_.end(), static_cast<const std::uint8_t*>(data), static_cast<const std::uint8_t*>(data) + size);
            return true;
        }
        std::optional<setup::Sha256Digest> finish() override {
            const std::string raw = *pack::fromHex(pack::sha256Hex(bytes_));
            setup::Sha256Digest digest{};
            std::copy_n(raw.begin(), digest.size(), digest.begin());
            return digest;
        }

    private:
        std::vector<std::uint8_t> bytes_;
    };
};

}  // namespace zendra::test
