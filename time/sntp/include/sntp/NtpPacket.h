#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace chronavel {

// The 48-byte SNTP message, fields in network byte order.
inline constexpr std::size_t NtpPacketSize = 48;
using NtpPacket = std::array<std::uint8_t, NtpPacketSize>;

// Seconds since 1900-01-01 00:00 UTC: the whole seconds of a transmit
// timestamp, plus exactly 0.5 when its fraction is at least one half.
using NtpSeconds = double;

// Client request: version 3, mode 3, every other field zero.
NtpPacket BuildRequest();

// The first 48 bytes of a datagram; a shorter one is padded with zeros.
NtpPacket CopyIntoPacket(std::span<const std::uint8_t> datagram);

// The transmit time of a reply, placed in the era that runs from 1968-01-20
// to 2104-02-26 (RFC 4330 section 3).
NtpSeconds DecodeTransmitTime(const NtpPacket& reply);

// Whether a datagram is a server's answer that carries a time (RFC 4330
// sections 5 and 8).
bool IsUsableReply(std::span<const std::uint8_t> datagram);

// The reply's time, or nothing when the datagram is not a usable reply.
std::optional<NtpSeconds> ReadReply(std::span<const std::uint8_t> datagram);

} // namespace chronavel
