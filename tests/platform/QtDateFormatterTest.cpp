// The general date text in the user's locale.
#include "platform/qt/QtDateFormatter.h"

#include <QDate>
#include <QRegularExpression>
#include <QTime>

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

TEST(GeneralDate, CanadiansSeeTheirOwnLocalesShape)
{
    EXPECT_EQ(QtDateFormatter(QLocale(QLocale::English, QLocale::Canada)).FormatGeneralDate(Afternoon),
              "2026-07-01 1:05:09 P.M.");
    EXPECT_EQ(QtDateFormatter(QLocale(QLocale::French, QLocale::Canada)).FormatGeneralDate(Afternoon),
              "2026-07-01 13 h 05 min 09 s");
}

TEST(GeneralDate, DayPeriodFieldUnknownToQtIsWrittenAsAmPm)
{
    EXPECT_EQ(QtDateFormatter(QLocale(QLocale::Chinese, QLocale::TraditionalChineseScript, QLocale::Taiwan))
                  .FormatGeneralDate(Afternoon),
              "2026/7/1 下午1:05:09");
}

// Every locale Qt knows: the four-digit year and the seconds, and nothing of
// the time zone, not even the brackets or separator that held its name.
TEST(GeneralDate, EveryLocaleShowsTheYearAndSecondsWithoutAZone)
{
    const QDate date(Morning.year, Morning.month, Morning.day);
    const QTime time(Morning.hour, Morning.minute, Morning.second);
    static const QRegularExpression strayPunctuation(QStringLiteral("\\(\\s*\\)|\\[\\s*\\]|^[\\s,]|[\\s,]$|\\s{2}"));
    for (const QLocale& locale :
         QLocale::matchingLocales(QLocale::AnyLanguage, QLocale::AnyScript, QLocale::AnyCountry)) {
        const QString text = QString::fromStdString(QtDateFormatter(locale).FormatGeneralDate(Morning));
        const QString context = locale.name() + QStringLiteral(": ") + text;
        EXPECT_TRUE(text.contains(locale.toString(date, QStringLiteral("yyyy")))) << context.toStdString();
        EXPECT_TRUE(text.contains(locale.toString(time, QStringLiteral("ss")))) << context.toStdString();
        EXPECT_FALSE(text.contains(QStringLiteral("UTC")) || text.contains(QStringLiteral("GMT")))
            << context.toStdString();
        EXPECT_FALSE(text.contains(strayPunctuation)) << context.toStdString();
    }
}

} // namespace
} // namespace chronavel
