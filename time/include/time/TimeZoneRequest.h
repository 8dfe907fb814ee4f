#pragma once

#include "sntp/NtpPacket.h"

#include <cstdint>
#include <string>

namespace chronavel {

// The service counts whole seconds since 1970-01-01 00:00 UTC.
std::int64_t ToUnixSeconds(NtpSeconds seconds);

// The time zone service's address for a location at a moment, by plain
// concatenation: the location's space is left for the HTTP client to encode.
std::string BuildTimeZoneAddress(const std::string& serviceHost, const std::string& location, NtpSeconds seconds,
                                 const std::string& apiKey);

} // namespace chronavel
