#pragma once

#include "platform/PlatformError.h"

#include <cstdint>
#include <string>

namespace chronavel {

// A socket control's port property: an int that must fit UDP's 16 bits.
inline std::uint16_t ToPort(int port)
{
    if (port < 0 || port > 65535) {
        throw PlatformError("Invalid port number: " + std::to_string(port));
    }
    return static_cast<std::uint16_t>(port);
}

} // namespace chronavel
