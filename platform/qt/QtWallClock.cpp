#include "platform/qt/QtWallClock.h"

#include <QDateTime>

namespace chronavel {

std::int64_t QtWallClock::Now()
{
    // Local time, so a change of the zone offset moves it like a clock change.
    const QDateTime now = QDateTime::currentDateTime();
    return now.toSecsSinceEpoch() + now.offsetFromUtc();
}

} // namespace chronavel
