#include "platform/qt/QtTimeZoneDatabase.h"

#include <QDateTime>
#include <QLocale>
#include <QTimeZone>

#include <limits>

namespace chronavel {
namespace {

// How QTimeZone marks an offset it cannot tell.
constexpr int UnknownOffset = std::numeric_limits<int>::min();

} // namespace

std::optional<ZoneState> QtTimeZoneDatabase::Lookup(const std::string& ianaZoneId,
                                                    std::chrono::sys_seconds instant) const
{
    const QTimeZone zone(QByteArray::fromStdString(ianaZoneId));
    // Past QDateTime's range the instant is invalid, and QTimeZone would
    // quietly answer for the present instead.
    const QDateTime at = QDateTime::fromSecsSinceEpoch(instant.time_since_epoch().count(), Qt::UTC);
    if (!zone.isValid() || !at.isValid()) {
        return std::nullopt;
    }
    const QTimeZone::OffsetData offsets = zone.offsetData(at);
    if (offsets.standardTimeOffset == UnknownOffset || offsets.daylightTimeOffset == UnknownOffset) {
        return std::nullopt;
    }
    const QString name = zone.displayName(at, QTimeZone::LongName, QLocale(QLocale::English, QLocale::UnitedStates));
    return ZoneState{std::chrono::seconds{offsets.standardTimeOffset}, std::chrono::seconds{offsets.daylightTimeOffset},
                     name.toStdString()};
}

} // namespace chronavel
