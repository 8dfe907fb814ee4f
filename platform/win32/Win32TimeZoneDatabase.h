#pragma once

#include "platform/timezone/TimeZoneDatabase.h"

namespace chronavel {

// Windows' own time zone database (the registry's zones, with their yearly
// rules), asked through the Windows name of each IANA zone the built-in time
// zone service knows.
class Win32TimeZoneDatabase final : public ITimeZoneDatabase {
public:
    std::optional<ZoneState> Lookup(const std::string& ianaZoneId, std::chrono::sys_seconds instant) const override;
};

} // namespace chronavel
