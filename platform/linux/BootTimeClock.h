#pragma once

#include "platform/MonotonicClock.h"

namespace chronavel {

// CLOCK_BOOTTIME: unlike CLOCK_MONOTONIC, on which steady_clock and Qt's
// timers run, it counts the time the computer spends suspended.
class BootTimeClock final : public IMonotonicClock {
public:
    MonotonicTime Now() override;
};

} // namespace chronavel
