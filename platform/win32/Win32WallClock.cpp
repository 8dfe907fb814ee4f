#include "platform/win32/Win32WallClock.h"

#include <windows.h>

namespace chronavel {
namespace {

// FILETIME counts from 1601-01-01 00:00 UTC.
constexpr std::chrono::seconds From1601To1970{11'644'473'600};

} // namespace

std::chrono::sys_time<SystemTicks> ReadSystemTime()
{
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    const SystemTicks since1601{
        static_cast<std::int64_t>((static_cast<std::uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime)};
    return std::chrono::sys_time<SystemTicks>{since1601 - From1601To1970};
}

MonotonicTime Win32MonotonicClock::Now()
{
    return MonotonicTime{std::chrono::milliseconds{static_cast<std::int64_t>(GetTickCount64())}};
}

} // namespace chronavel
