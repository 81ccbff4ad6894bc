// The system's Internet client on Windows (WinINet, loaded at run time, so that the
// launcher starts where it is missing).
#pragma once

#include "internet_client.h"

namespace zendra::win {

// The Internet client over wininet.dll of the system directory and its six entry points.
// The library stays loaded until the process ends once it was loaded.
class WinInternetClient final : public setup::InternetClient {
public:
    // Loads the library and resolves its entry points, once per process.
    setup::InternetLoad load() override;
    // InternetAttemptConnect(0).
    std::uint32_t attemptConnect() override;
    // InternetOpenA with the preconfigured proxy settings; error from GetLastError().
    std::unique_ptr<setup::InternetSession> openSession(const std::string& userAgent, std::uint32_t& error) override;
};

}  // namespace zendra::win
