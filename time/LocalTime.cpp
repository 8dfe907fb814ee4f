#include "time/LocalTime.h"

#include <charconv>
#include <chrono>
#include <cmath>
#include <limits>

namespace chronavel {

std::optional<std::int16_t> ParseOffsetSeconds(std::string_view text)
{
    double value = 0.0;
    const char* const end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc{} || stop != end || !std::isfinite(value)) {
        return std::nullopt;
    }
    // The default rounding mode rounds halves to even.
    const double rounded = std::nearbyint(value);
    if (rounded < std::numeric_limits<std::int16_t>::min() || rounded > std::numeric_limits<std::int16_t>::max()) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(rounded);
}

CivilDateTime LocalCivilTime(UtcTime utc, std::int16_t dstOffset, std::int16_t rawOffset)
{
    using namespace std::chrono;

    // The second shown is the one that has begun, as on any clock.
    const sys_seconds when = floor<seconds>(utc) + seconds{dstOffset} + seconds{rawOffset};
    const sys_days day = floor<days>(when);
    const year_month_day date{day};
    const hh_mm_ss clock{when - day};

    return CivilDateTime{
        .year = static_cast<int>(date.year()),
        .month = static_cast<int>(static_cast<unsigned>(date.month())),
        .day = static_cast<int>(static_cast<unsigned>(date.day())),
        .hour = static_cast<int>(clock.hours().count()),
        .minute = static_cast<int>(clock.minutes().count()),
        .second = static_cast<int>(clock.seconds().count()),
    };
}

} // namespace chronavel
