#include "platform/linux/BootTimeClock.h"

#include "platform/PlatformError.h"

#include <cerrno>
#include <cstring>
#include <ctime>
#include <string>

namespace chronavel {

MonotonicTime BootTimeClock::Now()
{
    timespec now{};
    // Fails only on kernels older than 2.6.39, which lack the clock.
    if (clock_gettime(CLOCK_BOOTTIME, &now) != 0) {
        throw PlatformError(std::string("The boot-time clock cannot be read: ") + std::strerror(errno));
    }
    return MonotonicTime{std::chrono::seconds{now.tv_sec} + std::chrono::nanoseconds{now.tv_nsec}};
}

} // namespace chronavel
