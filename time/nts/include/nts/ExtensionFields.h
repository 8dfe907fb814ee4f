#pragma once

#include "platform/AeadSiv.h"
#include "sntp/NtpPacket.h"

#include <array>
#include <cstdint>
#include <span>
#include <vector>

namespace chronavel {

// The two keys the key exchange yields (RFC 8915 section 5.1).
using NtsKey = std::array<std::uint8_t, 32>;
struct NtsKeys {
    NtsKey clientToServer;
    NtsKey serverToClient;
};

// What ties one authenticated request to its reply, each part drawn fresh
// from the random source.
struct NtsRequestNonces {
    NtpTimestamp nonce;                     // the transmit timestamp, as in a plain request
    std::array<std::uint8_t, 32> uniqueId;  // the reply must echo it
    std::array<std::uint8_t, 16> aeadNonce; // the authenticator's nonce
};

// An NTPv4 client request with its Unique Identifier, the cookie, and the
// authenticator sealed with the client-to-server key (RFC 8915 section 5).
// Throws what the AEAD throws (PlatformError).
std::vector<std::uint8_t> BuildNtsRequest(const NtsRequestNonces& request, std::span<const std::uint8_t> cookie,
                                          const NtsKey& clientToServer, IAeadSiv& aead);

enum class NtsReplyStatus {
    Usable,  // authenticated, and the header passes the SNTP reply checks
    NoTime,  // authenticated, but the header gives no time (unsynchronised, a kiss code)
    Nak,     // unauthenticated by nature (RFC 8915 section 5.7): the server may not have read the cookie
    Invalid, // not an authenticated reply to this request, such as a plain one echoing the nonce
};

struct NtsReply {
    NtsReplyStatus status = NtsReplyStatus::Invalid;
    ServerTimes times{}; // when Usable
};

// The server's answer to the request those nonces went into, or why there is none.
NtsReply ReadNtsReply(std::span<const std::uint8_t> datagram, const NtsRequestNonces& request,
                      const NtsKey& serverToClient, IAeadSiv& aead);

} // namespace chronavel
