#include "platform/qt/QtDateFormatter.h"

#include <QDate>
#include <QRegularExpression>
#include <QTime>

namespace chronavel {
namespace {

// The locale's short date, with its year widened to four digits.
QString ShortDateFormat(const QLocale& locale)
{
    QString format = locale.dateFormat(QLocale::ShortFormat);
    static const QRegularExpression yearField(QStringLiteral("y+"));
    format.replace(yearField, QStringLiteral("yyyy"));
    return format;
}

// The locale's long time without its zone name ("t").
QString LongTimeFormat(const QLocale& locale)
{
    QString format = locale.timeFormat(QLocale::LongFormat);
    static const QRegularExpression zoneField(QStringLiteral("\\s*\\bt+\\b\\s*"));
    return format.replace(zoneField, QString()).trimmed();
}

} // namespace

std::string QtDateFormatter::FormatGeneralDate(const CivilDateTime& when) const
{
    const QDate date(when.year, when.month, when.day);
    const QTime time(when.hour, when.minute, when.second);

    QString text = m_locale.toString(date, ShortDateFormat(m_locale));
    if (time != QTime(0, 0)) {
        text += QLatin1Char(' ') + m_locale.toString(time, LongTimeFormat(m_locale));
    }
    // Some locales put a narrow no-break space before AM/PM; the label shows
    // plain text, so an ordinary space reads the same and copies cleanly.
    text.replace(QChar(0x202F), QLatin1Char(' '));
    return text.toStdString();
}

} // namespace chronavel
