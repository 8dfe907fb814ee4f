#pragma once

#include "platform/timezone/TimeZoneDatabase.h"

namespace chronavel {

// The zone database as Qt reads it: the system's zoneinfo (Debian's tzdata)
// for the rules, ICU for the English names.
class QtTimeZoneDatabase final : public ITimeZoneDatabase {
public:
    std::optional<ZoneState> Lookup(const std::string& ianaZoneId, std::chrono::sys_seconds instant) const override;
};

} // namespace chronavel
