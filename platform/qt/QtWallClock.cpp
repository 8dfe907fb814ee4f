#include "platform/qt/QtWallClock.h"

#include <QDateTime>

namespace chronavel {

std::chrono::sys_seconds QtWallClock::Now()
{
    return std::chrono::sys_seconds{std::chrono::seconds{QDateTime::currentSecsSinceEpoch()}};
}

} // namespace chronavel
