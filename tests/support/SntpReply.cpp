#include "tests/support/SntpReply.h"

namespace chronavel::testing {
namespace {

void PutBigEndian32(Bytes& bytes, std::size_t offset, std::uint32_t value)
{
    for (int shift = 24, i = 0; shift >= 0; shift -= 8, ++i) {
        bytes[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(value >> shift);
    }
}

} // namespace

Bytes MakeSntpReply(const SntpReplyFields& fields)
{
    Bytes reply(48, 0);
    reply[0] = static_cast<std::uint8_t>((fields.leap << 6) | (fields.version << 3) | fields.mode);
    reply[1] = fields.stratum;
    PutBigEndian32(reply, 24, static_cast<std::uint32_t>(fields.originate >> 32));
    PutBigEndian32(reply, 28, static_cast<std::uint32_t>(fields.originate));
    PutBigEndian32(reply, 32, fields.receiveSeconds);
    PutBigEndian32(reply, 36, fields.receiveFraction);
    PutBigEndian32(reply, 40, fields.transmitSeconds);
    PutBigEndian32(reply, 44, fields.transmitFraction);
    return reply;
}

NtpTimestamp ToNtpTimestamp(UtcTime instant)
{
    using namespace std::chrono;
    constexpr seconds From1900To1970{2208988800};
    constexpr std::uint64_t FractionsPerSecond = std::uint64_t{1} << 32;
    constexpr std::uint64_t NanosecondsPerSecond = 1'000'000'000;
    const auto sinceEra0 = instant.time_since_epoch() + From1900To1970;
    const auto whole = floor<seconds>(sinceEra0);
    const auto nanosecondsIntoSecond = static_cast<std::uint64_t>((sinceEra0 - whole).count());
    const std::uint64_t fraction
        = (nanosecondsIntoSecond * FractionsPerSecond + NanosecondsPerSecond / 2) / NanosecondsPerSecond;
    // Just under a whole second may round up to the next one.
    if (fraction == FractionsPerSecond) {
        return {static_cast<std::uint32_t>(whole.count() + 1), 0};
    }
    return {static_cast<std::uint32_t>(whole.count()), static_cast<std::uint32_t>(fraction)};
}

} // namespace chronavel::testing
