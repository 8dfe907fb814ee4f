#include "platform/qt/QtDateFormatter.h"

#include "platform/common/FourDigitYear.h"

#include <QDate>
#include <QRegularExpression>
#include <QTime>

namespace chronavel {
namespace {

// The locale's long time without its zone name ("t"), and without the
// brackets or separator that set the zone apart, as in "HH:mm:ss (t)" or
// "h:mm:ss AP, t". Quoted text is the locale's own words and stays as it is.
QString LongTimeFormat(const QLocale& locale)
{
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString kept;
    bool bQuoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format[i];
        if (c == QLatin1Char('\'')) {
            bQuoted = !bQuoted;
        }
        // Qt does not know the day-period field "B" (zh_TW writes "Bh:mm:ss")
        // and would print the letter; its own AM/PM field says the same.
        if (!bQuoted && c == QLatin1Char('B')) {
            kept += QStringLiteral("AP");
            continue;
        }
        if (bQuoted || c != QLatin1Char('t')) {
            kept += c;
            continue;
        }
        // Drop the zone with an opening bracket just before it and a closing one just after.
        static const QString Openers = QStringLiteral("([");
        static const QString Closers = QStringLiteral(")]");
        const bool bBracketed = !kept.isEmpty() && Openers.contains(kept.back());
        if (bBracketed) {
            kept.chop(1);
        }
        while (i + 1 < format.size() && format[i + 1] == QLatin1Char('t')) {
            ++i;
        }
        if (bBracketed && i + 1 < format.size() && Closers.contains(format[i + 1])) {
            ++i;
        }
    }
    static const QRegularExpression strayEdges(QStringLiteral("^[\\s,]+|[\\s,]+$"));
    static const QRegularExpression doubledSpace(QStringLiteral("\\s{2,}"));
    return kept.remove(strayEdges).replace(doubledSpace, QStringLiteral(" "));
}

} // namespace

std::string QtDateFormatter::FormatGeneralDate(const CivilDateTime& when) const
{
    const QDate date(when.year, when.month, when.day);
    const QTime time(when.hour, when.minute, when.second);

    QString text = m_locale.toString(
        date, QString::fromStdWString(WithFourDigitYear(m_locale.dateFormat(QLocale::ShortFormat).toStdWString())));
    if (time != QTime(0, 0)) {
        text += QLatin1Char(' ') + m_locale.toString(time, LongTimeFormat(m_locale));
    }
    // Some locales put a narrow no-break space before AM/PM; the label shows
    // plain text, so an ordinary space reads the same and copies cleanly.
    text.replace(QChar(0x202F), QLatin1Char(' '));
    return text.toStdString();
}

} // namespace chronavel
