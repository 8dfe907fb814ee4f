#pragma once

#include <string>

namespace chronavel {

// A calendar date and clock time, with no time zone attached.
struct CivilDateTime {
    int year = 1900;
    int month = 1;
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

class IDateFormatter {
public:
    virtual ~IDateFormatter() = default;

    // The user's locale's short date with a four-digit year, a space and its
    // long time without a zone name; the time is left out at exactly midnight.
    virtual std::string FormatGeneralDate(const CivilDateTime& when) const = 0;
};

} // namespace chronavel
