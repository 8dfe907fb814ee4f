#pragma once

#include <chrono>

namespace chronavel {

class IWallClock {
public:
    virtual ~IWallClock() = default;

    // The computer's clock in whole seconds of UTC. It jumps whenever the
    // clock is set, but not when daylight saving time begins or ends.
    virtual std::chrono::sys_seconds Now() = 0;
};

} // namespace chronavel
