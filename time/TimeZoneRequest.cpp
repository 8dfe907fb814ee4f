#include "time/TimeZoneRequest.h"

namespace chronavel {

std::string BuildTimeZoneAddress(const std::string& serviceHost, const std::string& location, UtcTime moment,
                                 const std::string& apiKey)
{
    const auto unixSeconds = std::chrono::floor<std::chrono::seconds>(moment).time_since_epoch().count();
    // Plain digits whatever the user's locale: this is a wire format.
    return "https://" + serviceHost + "/maps/api/timezone/json?location=" + location
        + "&timestamp=" + std::to_string(unixSeconds) + "&key=" + apiKey;
}

} // namespace chronavel
