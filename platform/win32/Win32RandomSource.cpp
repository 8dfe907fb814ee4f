#include "platform/win32/Win32RandomSource.h"

#include "platform/PlatformError.h"

#include <windows.h>

#include <bcrypt.h>

#include <string>

namespace chronavel {

std::uint64_t Win32RandomSource::Random64()
{
    std::uint64_t value = 0;
    const NTSTATUS status
        = BCryptGenRandom(nullptr, reinterpret_cast<PUCHAR>(&value), sizeof value, BCRYPT_USE_SYSTEM_PREFERRED_RNG);
    if (status < 0) {
        throw PlatformError("The system's random source failed (status " + std::to_string(status) + ")");
    }
    return value;
}

} // namespace chronavel
