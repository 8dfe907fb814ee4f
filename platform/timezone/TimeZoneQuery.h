#pragma once

#include "platform/timezone/KnownPlaces.h"

#include <chrono>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace chronavel {

// What an address asks the time zone service.
struct TimeZoneQuery {
    std::optional<Coordinates> location; // nothing for an empty location
    std::chrono::sys_seconds timestamp{};
};

// Why an address's question cannot be read, in the service's words.
struct UnreadableQuery {
    std::string message;
};

// https://HOST/maps/api/timezone/json with any query: the one address the service answers.
bool IsTimeZoneServiceAddress(std::string_view address);

// The address's location ("LAT,LNG", with or without a space after the
// comma, percent-encoded or not) and timestamp (whole seconds since 1970).
std::variant<TimeZoneQuery, UnreadableQuery> ReadTimeZoneQuery(std::string_view address);

} // namespace chronavel
