#pragma once

#include <chrono>

namespace chronavel {

// An instant on a clock that only moves forward at a steady rate, whatever
// is done to the wall clock; only differences between two of them mean anything.
using MonotonicTime = std::chrono::steady_clock::time_point;

class IMonotonicClock {
public:
    virtual ~IMonotonicClock() = default;
    virtual MonotonicTime Now() = 0;
};

} // namespace chronavel
