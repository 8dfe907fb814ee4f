#pragma once

#include "platform/timezone/TimeZoneDatabase.h"

#include <string>
#include <string_view>

namespace chronavel {

// The time zone service's JSON answer to the address the time lookup writes
// (spaces encoded): for a place of the province table, its zone's offsets at
// the timestamp from the zone database; otherwise one of the service's
// documented statuses.
std::string AnswerTimeZoneRequest(std::string_view address, const ITimeZoneDatabase& zones);

} // namespace chronavel
