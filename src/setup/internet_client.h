// What the runtime download needs of the system: an HTTP client and SHA-256. The Windows
// layer implements them over the system's Internet library (loaded at run time) and its
// cryptography API; tests use fakes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "hashing.h"
#include "platform.h"

namespace zendra::setup {

// One opened location: the answer's headers and its body.
class InternetRequest {
public:
    virtual ~InternetRequest() = default;
    // The HTTP status code; nullopt and the system error when the answer carries none.
    virtual std::optional<std::uint32_t> statusCode(std::uint32_t& error) = 0;
    // The announced content length; nullopt and the system error when it cannot be had.
    virtual std::optional<std::uint32_t> contentLength(std::uint32_t& error) = 0;
    // Reads up to size bytes of the body; 0 bytes with ok means the body has ended.
    virtual IoResult read(void* buffer, std::size_t size) = 0;
    // The handle's value, for diagnostic lines.
    virtual const void* handleValue() const = 0;
};

// An open session of the Internet client; outlives the requests it opened.
class InternetSession {
public:
    virtual ~InternetSession() = default;
    // Opens a location (no cache write, passive FTP); nullptr and the system error on failure.
    virtual std::unique_ptr<InternetRequest> openUrl(const std::string& url, std::uint32_t& error) = 0;
};

// Whether the Internet client library could be made ready.
enum class InternetLoad { Ready, NoLibrary, NoFunctions };

// The system's Internet client.
class InternetClient {
public:
    virtual ~InternetClient() = default;
    // Loads the library and its entry points (once per process).
    virtual InternetLoad load() = 0;
    // Asks the system to allow a connection; the system's result (0 when it may connect).
    virtual std::uint32_t attemptConnect() = 0;
    // Opens a session with the user agent and the system's proxy settings; nullptr and the
    // system error on failure.
    virtual std::unique_ptr<InternetSession> openSession(const std::string& userAgent, std::uint32_t& error) = 0;
};

// The services of the runtime download, as the installer's run reaches them.
struct DownloadServices {
    InternetClient& internet;
    Hashing& hashing;
};

}  // namespace zendra::setup
