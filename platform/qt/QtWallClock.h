#pragma once

#include "platform/MonotonicClock.h"
#include "platform/WallClock.h"

namespace chronavel {

class QtWallClock final : public IWallClock {
public:
    std::chrono::sys_seconds Now() override;
};

// The C++ steady clock: CLOCK_MONOTONIC here, as Qt's own timers use.
class SteadyMonotonicClock final : public IMonotonicClock {
public:
    MonotonicTime Now() override { return std::chrono::steady_clock::now(); }
};

} // namespace chronavel
