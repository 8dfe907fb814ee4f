// From the service's offsets to a civil date and time, and the address the
// service is asked at.
#include "time/LocalTime.h"
#include "time/TimeZoneRequest.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace chronavel {
namespace {

struct OffsetCase {
    const char* text;
    std::optional<std::int16_t> expected;
};

class OffsetTexts : public ::testing::TestWithParam<OffsetCase> {};

TEST_P(OffsetTexts, ReadAsWholeSecondsWithinSixteenBits)
{
    EXPECT_EQ(ParseOffsetSeconds(GetParam().text), GetParam().expected) << '"' << GetParam().text << '"';
}

INSTANTIATE_TEST_SUITE_P(Offsets, OffsetTexts,
                         ::testing::Values(OffsetCase{"0", 0}, OffsetCase{"3600", 3600}, OffsetCase{"-18000", -18000},
                                           OffsetCase{"-32768", -32768}, OffsetCase{"32767", 32767},
                                           // Halves go to the even neighbour; other fractions to the nearest.
                                           OffsetCase{"3600.5", 3600}, OffsetCase{"3601.5", 3602},
                                           OffsetCase{"-0.5", 0}, OffsetCase{"-1.5", -2}, OffsetCase{"12.4", 12},
                                           OffsetCase{"12.6", 13}, OffsetCase{"1e3", 1000},
                                           OffsetCase{"32767.4", 32767},
                                           // Out of range, absent, or not a JSON number.
                                           OffsetCase{"32768", std::nullopt}, OffsetCase{"-32769", std::nullopt},
                                           OffsetCase{"32767.5", std::nullopt}, OffsetCase{"1e20", std::nullopt},
                                           OffsetCase{"", std::nullopt}, OffsetCase{"abc", std::nullopt},
                                           OffsetCase{"36OO", std::nullopt}, OffsetCase{"3600,5", std::nullopt},
                                           OffsetCase{" 3600", std::nullopt}, OffsetCase{"inf", std::nullopt},
                                           OffsetCase{"nan", std::nullopt}, OffsetCase{"0x10", std::nullopt}));

// 2026-12-08 07:10:22 UTC, and that instant moved on by a number of seconds.
UtcTime Dec8th2026At071022(double plusSeconds = 0)
{
    using namespace std::chrono;
    return UtcTime{seconds{1796713822}} + duration_cast<nanoseconds>(duration<double>(plusSeconds));
}

TEST(LocalCivilTime, AddsBothOffsetsToTheServersTime)
{
    const CivilDateTime toronto = LocalCivilTime(Dec8th2026At071022(), 0, -18000);
    EXPECT_EQ(toronto.year, 2026);
    EXPECT_EQ(toronto.month, 12);
    EXPECT_EQ(toronto.day, 8);
    EXPECT_EQ(toronto.hour, 2);
    EXPECT_EQ(toronto.minute, 10);
    EXPECT_EQ(toronto.second, 22);
}

TEST(LocalCivilTime, CrossesMidnightAndMonthEnds)
{
    const CivilDateTime evening = LocalCivilTime(Dec8th2026At071022(-4 * 3600 - 10 * 60 - 22), 0, -18000);
    EXPECT_EQ(evening.day, 7);
    EXPECT_EQ(evening.hour, 22);

    const CivilDateTime newYear
        = LocalCivilTime(UtcTime{std::chrono::seconds{1767225599}}, 0, 3600); // 2025-12-31 23:59:59 UTC
    EXPECT_EQ(newYear.year, 2026);
    EXPECT_EQ(newYear.month, 1);
    EXPECT_EQ(newYear.day, 1);
    EXPECT_EQ(newYear.hour, 0);
    EXPECT_EQ(newYear.second, 59);
}

TEST(LocalCivilTime, ShowsTheSecondThatHasBegun)
{
    EXPECT_EQ(LocalCivilTime(Dec8th2026At071022(0.999), 0, 0).second, 22);
    EXPECT_EQ(LocalCivilTime(Dec8th2026At071022(37.5), 0, 0).minute, 10);
    EXPECT_EQ(LocalCivilTime(Dec8th2026At071022(38), 0, 0).minute, 11);
}

TEST(TimeZoneAddress, SendsSecondsSince1970AsPlainDigits)
{
    EXPECT_EQ(BuildTimeZoneAddress("tz.example:8443", "43.70011, -79.41630", Dec8th2026At071022(0.75), "KEY"),
              "https://tz.example:8443/maps/api/timezone/json?location=43.70011, -79.41630"
              "&timestamp=1796713822&key=KEY");
    // Before 1970 the second that has begun is the one further back.
    EXPECT_THAT(BuildTimeZoneAddress("h", "", UtcTime{} - std::chrono::milliseconds{1}, "K"),
                ::testing::HasSubstr("&timestamp=-1&"));
}

} // namespace
} // namespace chronavel
