// Any datagram: either no answer, or server times inside the era we read that
// survive a round trip through the encoder.
#include "sntp/NtpPacket.h"
#include "tests/support/SntpReply.h"

#include <cstdlib>

namespace {

using namespace chronavel;
using chronavel::testing::ToNtpTimestamp;

constexpr NtpTimestamp Nonce{0x01234567, 0x89ABCDEF};

// 1968-01-20 03:14:08 UTC to 2104-02-26 09:42:24 UTC.
bool WithinTheEras(UtcTime instant)
{
    const auto seconds = std::chrono::floor<std::chrono::seconds>(instant).time_since_epoch().count();
    return seconds >= -61505152 && seconds < 4233462144;
}

bool SurvivesEncoding(UtcTime instant)
{
    const UtcTime back = ToUtcTime(ToNtpTimestamp(instant));
    return back - instant <= std::chrono::nanoseconds{1} && instant - back <= std::chrono::nanoseconds{1};
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> datagram(data, size);
    const std::optional<ServerTimes> times = ReadReply(datagram, Nonce);
    if (!times) {
        return 0;
    }
    // An answer echoes the nonce exactly and is at least a whole message.
    if (size < NtpPacketSize || datagram[24] != 0x01 || datagram[31] != 0xEF) {
        std::abort();
    }
    for (const UtcTime instant : {times->received, times->transmitted}) {
        if (!WithinTheEras(instant) || !SurvivesEncoding(instant)) {
            std::abort();
        }
    }
    return 0;
}
