#pragma once

#include "tests/support/SntpReply.h"

#include <cstdint>
#include <span>

namespace chronavel::testing {

inline constexpr std::uint16_t UniqueIdentifierField = 0x0104;
inline constexpr std::uint16_t NtsCookieField = 0x0204;
inline constexpr std::uint16_t AuthenticatorField = 0x0404;

// An extension field as a server writes one: type, length, then the body
// padded with zeros to whole words and at least 16 bytes in all.
void AppendExtensionField(Bytes& packet, std::uint16_t type, std::span<const std::uint8_t> body);

// The authenticator over every byte of packet so far, made with ChecksumAead
// and key, sealing hidden (fields for the client's eyes only).
void AppendAuthenticator(Bytes& packet, std::span<const std::uint8_t> key, std::span<const std::uint8_t> hidden = {});

} // namespace chronavel::testing
