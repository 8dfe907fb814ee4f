#include "platform/linux/SystemRandomSource.h"

#include "platform/PlatformError.h"

#include <sys/random.h>

#include <cerrno>
#include <cstring>

namespace chronavel {

std::uint64_t SystemRandomSource::Random64()
{
    std::uint64_t value = 0;
    ssize_t got = 0;
    do {
        // Eight bytes never come back short once the pool is ready; a signal can interrupt the wait for it.
        got = getrandom(&value, sizeof value, 0);
    } while (got < 0 && errno == EINTR);
    if (got != static_cast<ssize_t>(sizeof value)) {
        throw PlatformError(std::string("The system's random source failed: ") + std::strerror(errno));
    }
    return value;
}

} // namespace chronavel
