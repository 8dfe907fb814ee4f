#pragma once

#include "platform/MonotonicClock.h"
#include "platform/WallClock.h"

#include <chrono>
#include <cstdint>
#include <ratio>

namespace chronavel {

// The system time (UTC) in the 100-nanosecond ticks Windows keeps it in.
using SystemTicks = std::chrono::duration<std::int64_t, std::ratio<1, 10'000'000>>;
std::chrono::sys_time<SystemTicks> ReadSystemTime();

class Win32WallClock final : public IWallClock {
public:
    std::chrono::sys_seconds Now() override { return std::chrono::floor<std::chrono::seconds>(ReadSystemTime()); }
};

// GetTickCount64, which Microsoft documents as counting the time the computer
// sleeps or hibernates (the unbiased interrupt time does not); the interrupt
// time itself would count it too, but Wine 8 and mingw-w64's kernel32 lack it.
class Win32MonotonicClock final : public IMonotonicClock {
public:
    MonotonicTime Now() override;
};

} // namespace chronavel
