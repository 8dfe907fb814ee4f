#pragma once

#include "time/BuildConstants.h"

#include <string>

namespace chronavel {

// Where a request goes. The program always uses the defaults; tests point a
// request at servers of their own.
struct Endpoints {
    std::string ntpHost = NtpServerHost;
    int ntpPort = 123;                                     // NTP's well-known port
    std::string timeZoneServiceHost = TimeZoneServiceHost; // host or host:port
    std::string timeZoneApiKey = TimeZoneApiKey;
    std::string trustedCaFile; // empty: the system's trust store
};

} // namespace chronavel
