#pragma once

#include "platform/MonotonicClock.h"

namespace chronavel {

// GetTickCount64, which Microsoft documents as counting the time the computer
// sleeps or hibernates (the unbiased interrupt time does not); the interrupt
// time itself would count it too, but Wine 8 and mingw-w64's kernel32 lack it.
class Win32MonotonicClock final : public IMonotonicClock {
public:
    MonotonicTime Now() override;
};

} // namespace chronavel
