#include "tests/support/UsEnglishDateFormatter.h"

#include <cstdio>

namespace chronavel::testing {

std::string UsEnglishDateFormatter::FormatGeneralDate(const CivilDateTime& when) const
{
    char text[64];
    int length = std::snprintf(text, sizeof text, "%d/%d/%d", when.month, when.day, when.year);
    if (when.hour != 0 || when.minute != 0 || when.second != 0) {
        const int hour12 = when.hour % 12 == 0 ? 12 : when.hour % 12;
        length += std::snprintf(text + length, sizeof text - static_cast<std::size_t>(length), " %d:%02d:%02d %s",
                                hour12, when.minute, when.second, when.hour < 12 ? "AM" : "PM");
    }
    return std::string(text, static_cast<std::size_t>(length));
}

} // namespace chronavel::testing
