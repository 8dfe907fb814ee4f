// The general date text in the user's locale.
#include "platform/qt/QtDateFormatter.h"

#include <gtest/gtest.h>

namespace chronavel {
namespace {

const CivilDateTime Morning{.year = 2026, .month = 12, .day = 8, .hour = 7, .minute = 10, .second = 22};
const CivilDateTime Afternoon{.year = 2026, .month = 7, .day = 1, .hour = 13, .minute = 5, .second = 9};
const CivilDateTime Midnight{.year = 2026, .month = 12, .day = 8};

TEST(GeneralDate, UnitedStatesEnglish)
{
    const QtDateFormatter english(QLocale(QLocale::English, QLocale::UnitedStates));
    EXPECT_EQ(english.FormatGeneralDate(Morning), "12/8/2026 7:10:22 AM");
    EXPECT_EQ(english.FormatGeneralDate(Afternoon), "7/1/2026 1:05:09 PM");
    EXPECT_EQ(english.FormatGeneralDate(Midnight), "12/8/2026");
    EXPECT_EQ(english.FormatGeneralDate({.year = 2026, .month = 12, .day = 8, .second = 1}), "12/8/2026 12:00:01 AM");
}

TEST(GeneralDate, GermanTakesItsOwnShape)
{
    const QtDateFormatter german(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(german.FormatGeneralDate(Morning), "08.12.2026 07:10:22");
    EXPECT_EQ(german.FormatGeneralDate(Midnight), "08.12.2026");
}

TEST(GeneralDate, NeverStartsWithTheErrorPrefix)
{
    for (const QLocale& locale : {QLocale(QLocale::English, QLocale::UnitedStates), QLocale(QLocale::German),
                                  QLocale(QLocale::French, QLocale::Canada), QLocale(QLocale::Japanese)}) {
        const std::string text = QtDateFormatter(locale).FormatGeneralDate(Morning);
        EXPECT_NE(text.substr(0, 5), "Error") << text;
        EXPECT_NE(text.find("2026"), std::string::npos) << text;
    }
}

} // namespace
} // namespace chronavel
