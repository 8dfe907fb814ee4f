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

// The C++ steady clock: QueryPerformanceCounter on Windows, with MSVC's
// library and mingw-w64's alike.
class Win32MonotonicClock final : public IMonotonicClock {
public:
    MonotonicTime Now() override { return std::chrono::steady_clock::now(); }
};

} // namespace chronavel
