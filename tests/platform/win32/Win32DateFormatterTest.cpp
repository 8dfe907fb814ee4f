// The general date in a Windows locale's own formats.
#include "platform/win32/Win32DateFormatter.h"
#include "platform/PlatformError.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace chronavel {
namespace {

using ::testing::AnyOf;

struct DateCase {
    const char* name;
    const wchar_t* locale;
    CivilDateTime when;
    ::testing::Matcher<std::string> text;
};

class LocaleTexts : public ::testing::TestWithParam<DateCase> {};

TEST_P(LocaleTexts, AreTheShortDateAndTheTimeLeftOutAtMidnight)
{
    EXPECT_THAT(Win32DateFormatter(GetParam().locale).FormatGeneralDate(GetParam().when), GetParam().text);
}

constexpr CivilDateTime July1st2027At123005{2027, 7, 1, 12, 30, 5};

INSTANTIATE_TEST_SUITE_P(
    Locales, LocaleTexts,
    ::testing::Values(DateCase{"UsAfternoon", L"en-US", July1st2027At123005, "7/1/2027 12:30:05 PM"},
                      DateCase{"UsMorning", L"en-US", {2026, 12, 8, 7, 10, 22}, "12/8/2026 7:10:22 AM"},
                      DateCase{"UsMidnight", L"en-US", {2027, 7, 1, 0, 0, 0}, "7/1/2027"},
                      DateCase{"UsSecondAfterMidnight", L"en-US", {2027, 7, 1, 0, 0, 1}, "7/1/2027 12:00:01 AM"},
                      // Windows pads the German day and month; Wine's locale data does not.
                      DateCase{"GermanAfternoon", L"de-DE", July1st2027At123005,
                               AnyOf("1.7.2027 12:30:05", "01.07.2027 12:30:05")},
                      DateCase{"GermanMidnight", L"de-DE", {2027, 7, 1, 0, 0, 0}, AnyOf("1.7.2027", "01.07.2027")}),
    [](const auto& param) { return std::string(param.param.name); });

TEST(LocaleTexts, OfAnUnknownLocaleAreAPlatformError)
{
    EXPECT_THROW(Win32DateFormatter(L"xx-NOWHERE").FormatGeneralDate(July1st2027At123005), PlatformError);
}

} // namespace
} // namespace chronavel
