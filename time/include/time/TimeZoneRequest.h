#pragma once

#include "sntp/NtpPacket.h"

#include <string>

namespace chronavel {

// The time zone service's address for a location at a moment, by plain
// concatenation: the location's space is left for the HTTP client to encode.
// The service counts whole seconds since 1970-01-01 00:00 UTC.
std::string BuildTimeZoneAddress(const std::string& serviceHost, const std::string& location, UtcTime moment,
                                 const std::string& apiKey);

} // namespace chronavel
