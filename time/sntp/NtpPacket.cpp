#include "sntp/NtpPacket.h"

namespace chronavel {
namespace {

constexpr std::size_t ReferenceIdOffset = 12;
constexpr std::size_t OriginateOffset = 24;
constexpr std::size_t ReceiveOffset = 32;
constexpr std::size_t TransmitOffset = 40;

constexpr std::uint8_t LeapNotSynchronised = 3;
constexpr std::uint8_t ModeServer = 4;
constexpr std::uint8_t StratumKissOfDeath = 0;
constexpr std::uint8_t StratumHighest = 15;

constexpr std::chrono::seconds From1900To1970{2208988800};
constexpr std::chrono::seconds EraLength{std::int64_t{1} << 32};
constexpr std::uint64_t NanosecondsPerSecond = 1'000'000'000;

std::uint32_t ReadBigEndian32(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return (std::uint32_t{bytes[offset]} << 24) | (std::uint32_t{bytes[offset + 1]} << 16)
        | (std::uint32_t{bytes[offset + 2]} << 8) | std::uint32_t{bytes[offset + 3]};
}

void WriteBigEndian32(NtpPacket& packet, std::size_t offset, std::uint32_t value)
{
    for (std::size_t i = 0; i < 4; ++i) {
        packet[offset + i] = static_cast<std::uint8_t>(value >> (24 - 8 * i));
    }
}

NtpTimestamp ReadTimestamp(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return {ReadBigEndian32(bytes, offset), ReadBigEndian32(bytes, offset + 4)};
}

} // namespace

UtcTime ToUtcTime(NtpTimestamp timestamp)
{
    using std::chrono::nanoseconds;
    std::chrono::seconds sinceEra0{timestamp.seconds};
    // RFC 4330 section 3: with the top bit clear the count has wrapped into era 1.
    if ((timestamp.seconds & 0x80000000U) == 0) {
        sinceEra0 += EraLength;
    }
    // Truncated, never rounded: the last fractions of a second must not
    // round up into the next one, past the era's end.
    const auto fraction = nanoseconds{(timestamp.fraction * NanosecondsPerSecond) >> 32};
    return UtcTime{sinceEra0 - From1900To1970} + fraction;
}

NtpPacket BuildRequest(NtpTimestamp nonce)
{
    NtpPacket request{};
    request[0] = 0x1B; // leap 0, version 3, mode 3 (client)
    // RFC 4330 section 5 lets a client put any value in its transmit
    // timestamp; a random one ties the reply to this request.
    WriteBigEndian32(request, TransmitOffset, nonce.seconds);
    WriteBigEndian32(request, TransmitOffset + 4, nonce.fraction);
    return request;
}

bool EchoesNonce(std::span<const std::uint8_t> datagram, NtpTimestamp nonce)
{
    return datagram.size() >= NtpPacketSize && ReadTimestamp(datagram, OriginateOffset) == nonce;
}

bool IsUsableReply(std::span<const std::uint8_t> datagram, NtpTimestamp nonce)
{
    // RFC 4330 section 4: anything shorter cannot hold a transmit timestamp.
    if (datagram.size() < NtpPacketSize) {
        return false;
    }
    const std::uint8_t leap = datagram[0] >> 6;
    const std::uint8_t mode = datagram[0] & 0x07;
    const std::uint8_t stratum = datagram[1];

    // RFC 4330 section 5: a reply to a unicast request is in server mode.
    if (mode != ModeServer) {
        return false;
    }
    // RFC 4330 section 8: stratum 0 is a Kiss-o'-Death message, not a time.
    if (stratum == StratumKissOfDeath || stratum > StratumHighest) {
        return false;
    }
    // RFC 4330 section 5: leap indicator 3 means the server is not synchronised.
    if (leap == LeapNotSynchronised) {
        return false;
    }
    // RFC 4330 section 5: the originate timestamp must echo our transmit timestamp.
    if (!EchoesNonce(datagram, nonce)) {
        return false;
    }
    // RFC 4330 section 5: the transmit timestamp must be nonzero.
    return ReadTimestamp(datagram, TransmitOffset) != NtpTimestamp{};
}

bool IsKissOfDeath(std::span<const std::uint8_t> datagram, NtpTimestamp nonce, std::string_view kissCode)
{
    // RFC 4330 section 8: the code is in the reference identifier, as ASCII.
    return datagram.size() >= NtpPacketSize && (datagram[0] & 0x07) == ModeServer && datagram[1] == StratumKissOfDeath
        && EchoesNonce(datagram, nonce)
        && std::string_view(reinterpret_cast<const char*>(datagram.data()) + ReferenceIdOffset, 4) == kissCode;
}

std::optional<ServerTimes> ReadReply(std::span<const std::uint8_t> datagram, NtpTimestamp nonce)
{
    if (!IsUsableReply(datagram, nonce)) {
        return std::nullopt;
    }
    return ServerTimes{.received = ToUtcTime(ReadTimestamp(datagram, ReceiveOffset)),
                       .transmitted = ToUtcTime(ReadTimestamp(datagram, TransmitOffset))};
}

} // namespace chronavel
