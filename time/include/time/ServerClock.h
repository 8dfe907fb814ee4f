#pragma once

#include "platform/MonotonicClock.h"
#include "sntp/NtpPacket.h"

namespace chronavel {

// The server's clock, carried forward on this computer's monotonic clock, so
// that the time it gives is the time of the moment it is asked, however long
// the user spends on the boxes in between.
class ServerClock {
public:
    // The server's time at the reply's arrival: its transmit time plus half
    // the round trip's delay (RFC 4330 section 5).
    static ServerClock FromExchange(MonotonicTime sent, MonotonicTime arrived, const ServerTimes& server);
    // The round trip less the server's own time with the request: what the
    // network took, there and back.
    static std::chrono::nanoseconds NetworkDelay(MonotonicTime sent, MonotonicTime arrived, const ServerTimes& server);

    UtcTime At(MonotonicTime now) const;

private:
    ServerClock(UtcTime atArrival, MonotonicTime arrival) : m_atArrival(atArrival), m_arrival(arrival) {}

    UtcTime m_atArrival;
    MonotonicTime m_arrival;
};

} // namespace chronavel
