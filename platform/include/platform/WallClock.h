#pragma once

#include <cstdint>

namespace chronavel {

class IWallClock {
public:
    virtual ~IWallClock() = default;

    // The computer's current local date and time, in whole seconds counted
    // from a fixed origin. It follows the wall clock, so it jumps whenever
    // the clock is set.
    virtual std::int64_t Now() = 0;
};

} // namespace chronavel
