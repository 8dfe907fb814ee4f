#pragma once

#include <chrono>

namespace chronavel {

// The computer's monotonic clock, which moves on while the computer sleeps:
// only differences between two of its instants mean anything. A clock type of
// its own, so that its instants never mix with steady_clock's, which stops
// during sleep on Linux, or with system_clock's.
struct MonotonicClock {
    using duration = std::chrono::nanoseconds;
    using rep = duration::rep;
    using period = duration::period;
    using time_point = std::chrono::time_point<MonotonicClock>;
    static constexpr bool is_steady = true;
};

using MonotonicTime = MonotonicClock::time_point;

class IMonotonicClock {
public:
    virtual ~IMonotonicClock() = default;
    virtual MonotonicTime Now() = 0;
};

} // namespace chronavel
