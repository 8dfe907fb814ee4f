#pragma once

#include "platform/MonotonicClock.h"
#include "platform/WallClock.h"

#include <chrono>

namespace chronavel {

// The system time, UTC, as the standard library reads it from Windows.
class Win32WallClock final : public IWallClock {
public:
    std::chrono::sys_seconds Now() override
    {
        return std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    }
};

// GetTickCount64, which Microsoft documents as counting the time the computer
// sleeps or hibernates (the unbiased interrupt time does not); the interrupt
// time itself would count it too, but Wine 8 and mingw-w64's kernel32 lack it.
class Win32MonotonicClock final : public IMonotonicClock {
public:
    MonotonicTime Now() override;
};

} // namespace chronavel
