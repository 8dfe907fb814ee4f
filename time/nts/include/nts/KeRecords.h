#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace chronavel {

// The key exchange runs over TLS 1.3 to this port, with this ALPN (RFC 8915 section 4).
inline constexpr std::uint16_t NtsKePort = 4460;
inline constexpr char NtsKeAlpn[] = "ntske/1";

// Both keys are exported from the TLS session with this label, one context
// per direction: NTPv4 (0x0000), AEAD 15 (0x000F), then 0 or 1 (RFC 8915 section 5.1).
inline constexpr char NtsKeyExporterLabel[] = "EXPORTER-network-time-security";
inline constexpr std::array<std::uint8_t, 5> NtsClientToServerContext{0x00, 0x00, 0x00, 0x0F, 0x00};
inline constexpr std::array<std::uint8_t, 5> NtsServerToClientContext{0x00, 0x00, 0x00, 0x0F, 0x01};

// The request: NTPv4, AEAD_AES_SIV_CMAC_256, End of Message.
std::vector<std::uint8_t> BuildNtsKeRequest();

// The most a response may take; a server's usual one is about a kilobyte.
inline constexpr std::size_t NtsKeResponseLimit = 16384;

// How many of the bytes read so far to hand ParseNtsKeResponse: those up to
// the End of Message record, or all of them once past NtsKeResponseLimit
// (which it refuses). Nothing while more must be read.
std::optional<std::size_t> NtsKeResponseLength(std::span<const std::uint8_t> received);

enum class NtsKeOutcome {
    Accepted,
    ServerError,           // an Error record; code holds its code
    ServerWarning,         // a Warning record; code holds its code
    UnknownCriticalRecord, // code holds the record's type
    UnsupportedProtocol,   // NTPv4 not chosen
    UnsupportedAead,       // AEAD_AES_SIV_CMAC_256 not chosen
    NoCookie,
    Malformed, // cut short, a body of the wrong size, past the limit, or bytes after End of Message
};

struct NtsKeResponse {
    NtsKeOutcome outcome = NtsKeOutcome::Malformed;
    std::uint16_t code = 0;
    std::vector<std::vector<std::uint8_t>> cookies; // at most 8, each of 1 to 256 bytes
    std::string ntpServer;                          // empty: the key exchange's own host
    std::uint16_t ntpPort = 123;
};

NtsKeResponse ParseNtsKeResponse(std::span<const std::uint8_t> response);

} // namespace chronavel
