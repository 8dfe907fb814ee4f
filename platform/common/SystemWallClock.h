#pragma once

#include "platform/WallClock.h"

namespace chronavel {

// C++20 defines the system clock as counting UTC seconds since 1970.
class SystemWallClock final : public IWallClock {
public:
    std::chrono::sys_seconds Now() override
    {
        return std::chrono::floor<std::chrono::seconds>(std::chrono::system_clock::now());
    }
};

} // namespace chronavel
