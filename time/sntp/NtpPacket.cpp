#include "sntp/NtpPacket.h"

#include <algorithm>

namespace chronavel {
namespace {

constexpr std::size_t TransmitSecondsOffset = 40;
constexpr std::size_t TransmitFractionOffset = 44;

constexpr std::uint8_t LeapNotSynchronised = 3;
constexpr std::uint8_t ModeServer = 4;
constexpr std::uint8_t StratumKissOfDeath = 0;
constexpr std::uint8_t StratumHighest = 15;

constexpr double Era1Start = 4294967296.0; // 2^32 seconds: 2036-02-07 06:28:16 UTC

std::uint32_t ReadBigEndian32(const NtpPacket& packet, std::size_t offset)
{
    return (std::uint32_t{packet[offset]} << 24) | (std::uint32_t{packet[offset + 1]} << 16)
        | (std::uint32_t{packet[offset + 2]} << 8) | std::uint32_t{packet[offset + 3]};
}

} // namespace

NtpPacket BuildRequest()
{
    NtpPacket request{};
    request[0] = 0x1B; // leap 0, version 3, mode 3 (client)
    return request;
}

NtpPacket CopyIntoPacket(std::span<const std::uint8_t> datagram)
{
    NtpPacket packet{};
    std::copy_n(datagram.begin(), std::min(datagram.size(), packet.size()), packet.begin());
    return packet;
}

NtpSeconds DecodeTransmitTime(const NtpPacket& reply)
{
    const std::uint32_t seconds = ReadBigEndian32(reply, TransmitSecondsOffset);
    const std::uint32_t fraction = ReadBigEndian32(reply, TransmitFractionOffset);

    NtpSeconds value = static_cast<double>(seconds);
    // RFC 4330 section 3: with the top bit clear the count has wrapped into era 1.
    if ((seconds & 0x80000000U) == 0) {
        value += Era1Start;
    }
    if ((fraction & 0x80000000U) != 0) {
        value += 0.5;
    }
    return value;
}

bool IsUsableReply(std::span<const std::uint8_t> datagram)
{
    // RFC 4330 section 4: anything shorter cannot hold a transmit timestamp.
    if (datagram.size() < NtpPacketSize) {
        return false;
    }
    const NtpPacket reply = CopyIntoPacket(datagram);
    const std::uint8_t leap = reply[0] >> 6;
    const std::uint8_t mode = reply[0] & 0x07;
    const std::uint8_t stratum = reply[1];

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
    // RFC 4330 section 5: the transmit timestamp must be nonzero.
    return ReadBigEndian32(reply, TransmitSecondsOffset) != 0 || ReadBigEndian32(reply, TransmitFractionOffset) != 0;
}

std::optional<NtpSeconds> ReadReply(std::span<const std::uint8_t> datagram)
{
    if (!IsUsableReply(datagram)) {
        return std::nullopt;
    }
    return DecodeTransmitTime(CopyIntoPacket(datagram));
}

} // namespace chronavel
