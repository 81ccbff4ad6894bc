// The runtime download's services in memory: an Internet client that plays a scripted server
// and records what was asked of it, and SHA-256 by the packaging tool's implementation.
#pragma once

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "fake_desktop.h"
#include "internet_client.h"
#include "pack_text.h"
#include "sha256.h"

namespace zendra::test {

// What the server answers to one opening of the location; a missing number is error 12150.
struct FakeAnswer {
    FakeAnswer() = default;
    FakeAnswer(std::optional<std::uint32_t> s, std::optional<std::uint32_t> n, std::string data,
               std::optional<std::uint32_t> fails = std::nullopt)
        : status(s), length(n), body(std::move(data)), readError(fails) {}
    std::optional<std::uint32_t> status = 200;
    std::optional<std::uint32_t> length;
    std::string body;                        // what the reads deliver
    std::optional<std::uint32_t> readError;  // the read after the body fails with this error
};

// The n-th opening gets answers[n] (the last one repeats); openings from openFailsFrom on
// (1-based, 0: none) fail with error 12029. A read advances the desktop's clock by msPerRead.
class FakeInternetClient final : public setup::InternetClient {
public:
    explicit FakeInternetClient(FakeDesktop& desktop) : desktop_(desktop) {}
    setup::InternetLoad load() override { return loaded; }
    std::uint32_t attemptConnect() override { return 0; }
    std::unique_ptr<setup::InternetSession> openSession(const std::string& userAgent, std::uint32_t&) override {
        calls.push_back("session " + userAgent);
        return std::make_unique<Session>(*this);
    }

    setup::InternetLoad loaded = setup::InternetLoad::Ready;
    int openFailsFrom = 0;
    std::vector<FakeAnswer> answers{FakeAnswer{}};
    std::uint32_t msPerRead = 0;
    std::vector<std::string> calls;      // "session AGENT", "open URL"
    std::vector<std::size_t> readSizes;  // the size of every read asked for
    int handlesOpen = 0;                 // sessions and requests not closed yet

private:
    // Counts itself among the open handles while it lives.
    struct Handle {
        explicit Handle(FakeInternetClient& client) : owner(client) { ++owner.handlesOpen; }
        ~Handle() { --owner.handlesOpen; }
        FakeInternetClient& owner;
    };

    class Request final : public setup::InternetRequest, Handle {
    public:
        Request(FakeInternetClient& client, FakeAnswer answer) : Handle(client), answer_(std::move(answer)) {}
        std::optional<std::uint32_t> statusCode(std::uint32_t& error) override { return number(answer_.status, error); }
        std::optional<std::uint32_t> contentLength(std::uint32_t& error) override { return number(answer_.length, error); }
        IoResult read(void* buffer, std::size_t size) override {
            owner.readSizes.push_back(size);
            owner.desktop_.ticks += owner.msPerRead;
            const std::size_t n = std::min(size, answer_.body.size() - at_);
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
        FakeAnswer answer_;
        std::size_t at_ = 0;
    };

    class Session final : public setup::InternetSession, Handle {
    public:
        explicit Session(FakeInternetClient& client) : Handle(client) {}
        std::unique_ptr<setup::InternetRequest> openUrl(const std::string& url, std::uint32_t& error) override {
            owner.calls.push_back("open " + url);
            const int n = ++owner.openings_;
            if (owner.openFailsFrom != 0 && n >= owner.openFailsFrom) {
                error = 12029;  // ERROR_INTERNET_CANNOT_CONNECT
                return nullptr;
            }
            const auto& script = owner.answers;
            return std::make_unique<Request>(owner, script[std::min<std::size_t>(n - 1, script.size() - 1)]);
        }
    };

    FakeDesktop& desktop_;
    int openings_ = 0;
};

// SHA-256 of the bytes given, through the packaging tool's implementation.
class FakeHashing final : public setup::Hashing {
public:
    std::unique_ptr<setup::Sha256> sha256(std::uint32_t&) override { return std::make_unique<Hash>(); }

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
