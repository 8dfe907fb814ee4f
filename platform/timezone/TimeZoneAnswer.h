#pragma once

#include "platform/timezone/TimeZoneDatabase.h"

#include <string>
#include <string_view>

namespace chronavel {

// The time zone service's JSON answer to the address the time lookup writes
// (spaces encoded): for a place of the province table, its zone's offsets at
// the timestamp from the zone database; for an empty location, ZERO_RESULTS;
// for anything else, INVALID_REQUEST.
std::string AnswerTimeZoneRequest(std::string_view address, const ITimeZoneDatabase& zones);

} // namespace chronavel
