#pragma once

#include "platform/DateFormatter.h"
#include "sntp/NtpPacket.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace chronavel {

// A time zone offset in whole seconds as the service writes it: a JSON
// number (never a locale's), rounded to the nearest whole number with halves
// to even, within -32768 to 32767. Nothing for any other text.
std::optional<std::int16_t> ParseOffsetSeconds(std::string_view text);

// The calendar date and clock time of the second that is current at utc,
// moved by both offsets. The sum already is the local civil time; no time
// zone of this computer takes part.
CivilDateTime LocalCivilTime(UtcTime utc, std::int16_t dstOffset, std::int16_t rawOffset);

} // namespace chronavel
