#include "time/TimeZoneRequest.h"

#include <cmath>

namespace chronavel {
namespace {

constexpr std::int64_t SecondsFrom1900To1970 = 2208988800;

} // namespace

std::int64_t ToUnixSeconds(NtpSeconds seconds)
{
    // The half second is dropped: the service documents whole seconds.
    return static_cast<std::int64_t>(std::floor(seconds)) - SecondsFrom1900To1970;
}

std::string BuildTimeZoneAddress(const std::string& serviceHost, const std::string& location, NtpSeconds seconds,
                                 const std::string& apiKey)
{
    // Plain digits whatever the user's locale: this is a wire format.
    return "https://" + serviceHost + "/maps/api/timezone/json?location=" + location
        + "&timestamp=" + std::to_string(ToUnixSeconds(seconds)) + "&key=" + apiKey;
}

} // namespace chronavel
