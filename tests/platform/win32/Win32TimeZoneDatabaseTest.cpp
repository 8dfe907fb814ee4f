// Windows' time zone database, as the built-in time zone service asks it.
#include "platform/win32/Win32TimeZoneDatabase.h"

#include <gtest/gtest.h>

namespace chronavel {
namespace {

struct ZoneCase {
    const char* name;
    const char* zone;
    std::int64_t unixSeconds;
    int standardOffset;
    int daylightSaving;
    const char* longName;
};

class WindowsZones : public ::testing::TestWithParam<ZoneCase> {};

TEST_P(WindowsZones, GiveTheOffsetsInForceAtTheInstant)
{
    const ZoneCase& c = GetParam();
    const std::optional<ZoneState> state
        = Win32TimeZoneDatabase().Lookup(c.zone, std::chrono::sys_seconds{std::chrono::seconds{c.unixSeconds}});
    ASSERT_TRUE(state.has_value());
    EXPECT_EQ(state->standardOffset.count(), c.standardOffset);
    EXPECT_EQ(state->daylightSaving.count(), c.daylightSaving);
    EXPECT_EQ(state->longName, c.longName);
}

INSTANTIATE_TEST_SUITE_P(
    Zones, WindowsZones,
    ::testing::Values(
        // Toronto's 2027 changeovers: 2027-03-14 07:00 UTC and 2027-11-07 06:00 UTC.
        ZoneCase{"TorontoBeforeSpring", "America/Toronto", 1805007599, -18000, 0, "Eastern Standard Time"},
        ZoneCase{"TorontoAtSpring", "America/Toronto", 1805007600, -18000, 3600, "Eastern Daylight Time"},
        ZoneCase{"TorontoBeforeAutumn", "America/Toronto", 1825567199, -18000, 3600, "Eastern Daylight Time"},
        ZoneCase{"TorontoAtAutumn", "America/Toronto", 1825567200, -18000, 0, "Eastern Standard Time"},
        // Half-hour offsets, and a province without daylight saving time.
        ZoneCase{"StJohnsInSummer", "America/St_Johns", 1814443200, -12600, 3600, "Newfoundland Daylight Time"},
        ZoneCase{"ReginaInSummer", "America/Regina", 1814443200, -21600, 0, "Canada Central Standard Time"},
        ZoneCase{"WhitehorseInWinter", "America/Whitehorse", 1796713822, -25200, 0, "Yukon Standard Time"}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(WindowsZones, AZoneWithoutAWindowsNameIsUnknown)
{
    EXPECT_FALSE(Win32TimeZoneDatabase().Lookup("Europe/Paris", std::chrono::sys_seconds{}).has_value());
}

} // namespace
} // namespace chronavel
