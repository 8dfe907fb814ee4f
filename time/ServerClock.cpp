#include "time/ServerClock.h"

#include <algorithm>

namespace chronavel {

std::chrono::nanoseconds ServerClock::NetworkDelay(MonotonicTime sent, MonotonicTime arrived, const ServerTimes& server)
{
    using std::chrono::nanoseconds;
    const nanoseconds roundTrip = std::max(nanoseconds{0}, arrived - sent);
    // The server's own time with the request, kept within the round trip: a
    // reply that claims more (or a negative time) would give a negative delay.
    const nanoseconds atServer = std::clamp(server.transmitted - server.received, nanoseconds{0}, roundTrip);
    return roundTrip - atServer;
}

ServerClock ServerClock::FromExchange(MonotonicTime sent, MonotonicTime arrived, const ServerTimes& server)
{
    return ServerClock(server.transmitted + NetworkDelay(sent, arrived, server) / 2, arrived);
}

UtcTime ServerClock::At(MonotonicTime now) const
{
    return m_atArrival + std::chrono::duration_cast<std::chrono::nanoseconds>(now - m_arrival);
}

} // namespace chronavel
