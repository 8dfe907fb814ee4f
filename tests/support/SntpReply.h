#pragma once

#include "sntp/NtpPacket.h"

#include <cstdint>
#include <vector>

namespace chronavel::testing {

using Bytes = std::vector<std::uint8_t>;

// The transmit seconds the tests answer with: 2026-12-08 07:10:22 UTC.
inline constexpr std::uint32_t Dec8th2026At071022 = 4005702622U;

// A server reply carrying the given transmit timestamp; the other fields
// are those of a healthy stratum 2 server unless changed.
struct SntpReplyFields {
    std::uint32_t transmitSeconds = 0;
    std::uint32_t transmitFraction = 0;
    std::uint32_t receiveSeconds = 0;
    std::uint32_t receiveFraction = 0;
    std::uint64_t originate = 0; // the request's transmit timestamp, if it is to match
    std::uint8_t leap = 0;
    std::uint8_t version = 3;
    std::uint8_t mode = 4;
    std::uint8_t stratum = 2;
};
Bytes MakeSntpReply(const SntpReplyFields& fields);

// The timestamp of an instant between 1968-01-20 and 2104-02-26, the
// inverse of ToUtcTime to the nearest unit of 2^-32 s.
NtpTimestamp ToNtpTimestamp(UtcTime instant);

} // namespace chronavel::testing
