#pragma once

#include "time/BuildConstants.h"

#include <string>

namespace chronavel {

// Where a request goes. The program always uses the defaults; tests point a
// request at servers of their own.
struct Endpoints {
    // The key-exchange server, host or host:port; empty: a plain request to ntpHost.
    std::string ntsServer = NtsServer;
    std::string ntpHost = NtpServerHost;
    int ntpPort = 123;                                     // NTP's well-known port
    std::string timeZoneServiceHost = TimeZoneServiceHost; // host or host:port
    std::string timeZoneApiKey = TimeZoneApiKey;
    std::string trustedCaFile; // for both TLS servers; empty: the system's trust store
};

} // namespace chronavel
