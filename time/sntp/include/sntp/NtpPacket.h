#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

namespace chronavel {

// The 48-byte SNTP message, fields in network byte order.
inline constexpr std::size_t NtpPacketSize = 48;
using NtpPacket = std::array<std::uint8_t, NtpPacketSize>;

// A timestamp as it travels: seconds since 1900-01-01 00:00 UTC, modulo
// 2^32, and the fraction of a second in units of 2^-32.
struct NtpTimestamp {
    std::uint32_t seconds = 0;
    std::uint32_t fraction = 0;
    bool operator==(const NtpTimestamp&) const = default;
};

// An instant of true time (UTC, to the nanosecond).
using UtcTime = std::chrono::sys_time<std::chrono::nanoseconds>;

// The instant a timestamp stands for, placed in the era that runs from
// 1968-01-20 to 2104-02-26 (RFC 4330 section 3).
UtcTime ToUtcTime(NtpTimestamp timestamp);

// Client request: version 3, mode 3. Its transmit timestamp carries the
// nonce, which a server's reply echoes as its originate timestamp.
NtpPacket BuildRequest(NtpTimestamp nonce);

// What a reply says of the exchange: when the request reached the server
// and when the reply left it.
struct ServerTimes {
    UtcTime received;
    UtcTime transmitted;
};

// Whether a datagram's originate timestamp echoes the request's nonce.
bool EchoesNonce(std::span<const std::uint8_t> datagram, NtpTimestamp nonce);

// Whether a datagram is the server's answer to the request that carried
// nonce, and carries a time (RFC 4330 sections 5 and 8).
bool IsUsableReply(std::span<const std::uint8_t> datagram, NtpTimestamp nonce);

// A Kiss-o'-Death answer to the request that carried nonce (server mode,
// stratum 0, RFC 4330 section 8) carrying the four-letter code kissCode.
bool IsKissOfDeath(std::span<const std::uint8_t> datagram, NtpTimestamp nonce, std::string_view kissCode);

// The server's times, or nothing when the datagram is not such an answer.
// Bytes beyond the first 48 are ignored.
std::optional<ServerTimes> ReadReply(std::span<const std::uint8_t> datagram, NtpTimestamp nonce);

} // namespace chronavel
