// Any datagram: either no time, or a time inside the two eras we read.
#include "time/LocalTime.h"
#include "sntp/NtpPacket.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    using namespace chronavel;
    const std::span<const std::uint8_t> datagram(data, size);

    const std::optional<NtpSeconds> seconds = ReadReply(datagram);
    if (seconds.has_value() != IsUsableReply(datagram)) {
        std::abort();
    }
    if (!seconds) {
        return 0;
    }
    // From 1968-01-20 (era 0 with its top bit set) to the end of era 1's first half.
    if (*seconds < 2147483648.0 || *seconds >= 6442450944.0) {
        std::abort();
    }
    const CivilDateTime when = LocalCivilTime(*seconds, -32768, -32768);
    if (when.year < 1968 || when.year > 2104 || when.month < 1 || when.month > 12 || when.day < 1 || when.day > 31
        || when.hour > 23 || when.minute > 59 || when.second > 59) {
        std::abort();
    }
    return 0;
}
