#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

namespace chronavel::testing {

using Bytes = std::vector<std::uint8_t>;

// A key-exchange record as a server writes one (RFC 8915 section 4).
inline Bytes Record(std::uint16_t type, Bytes body, bool critical = true)
{
    const auto typeField = static_cast<std::uint16_t>(type | (critical ? 0x8000 : 0));
    Bytes record{static_cast<std::uint8_t>(typeField >> 8), static_cast<std::uint8_t>(typeField),
                 static_cast<std::uint8_t>(body.size() >> 8), static_cast<std::uint8_t>(body.size())};
    record.insert(record.end(), body.begin(), body.end());
    return record;
}

inline Bytes Joined(std::initializer_list<Bytes> parts)
{
    Bytes joined;
    for (const Bytes& part : parts) {
        joined.insert(joined.end(), part.begin(), part.end());
    }
    return joined;
}

inline const Bytes EndOfMessage = Record(0, {});
inline const Bytes NtpV4 = Record(1, {0x00, 0x00});
inline const Bytes AesSivCmac256 = Record(4, {0x00, 0x0F});
inline const Bytes CookieA = Record(5, Bytes(64, 0xA1), false);
inline const Bytes CookieB = Record(5, Bytes(64, 0xB2), false);
inline const Bytes Healthy = Joined({NtpV4, AesSivCmac256, CookieA, CookieB, EndOfMessage});

} // namespace chronavel::testing
