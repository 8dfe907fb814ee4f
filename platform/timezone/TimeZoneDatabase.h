#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace chronavel {

// What a zone's rules say at one instant.
struct ZoneState {
    std::chrono::seconds standardOffset{0}; // from UTC
    std::chrono::seconds daylightSaving{0}; // added to it while daylight saving time is in force
    std::string longName;                   // English, e.g. "Eastern Daylight Time"
};

// The operating system's time zone database, asked about one IANA zone at a time.
class ITimeZoneDatabase {
public:
    virtual ~ITimeZoneDatabase() = default;

    // Nothing when the database does not know the zone or cannot place the instant.
    virtual std::optional<ZoneState> Lookup(const std::string& ianaZoneId, std::chrono::sys_seconds instant) const = 0;
};

} // namespace chronavel
