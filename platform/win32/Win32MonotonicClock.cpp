#include "platform/win32/Win32MonotonicClock.h"

#include <windows.h>

namespace chronavel {

MonotonicTime Win32MonotonicClock::Now()
{
    return MonotonicTime{std::chrono::milliseconds{static_cast<std::int64_t>(GetTickCount64())}};
}

} // namespace chronavel
