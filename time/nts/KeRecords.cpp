#include "nts/KeRecords.h"

#include "BigEndian.h"

namespace chronavel {
namespace {

using nts::Read16;

enum RecordType : std::uint16_t {
    EndOfMessage = 0,
    NextProtocol = 1,
    Error = 2,
    Warning = 3,
    AeadAlgorithm = 4,
    NewCookie = 5,
    ServerNegotiation = 6,
    PortNegotiation = 7,
};

constexpr std::uint16_t CriticalBit = 0x8000;
constexpr std::uint16_t ProtocolNtpV4 = 0;
constexpr std::uint16_t AeadAesSivCmac256 = 15;
constexpr std::size_t RecordHeaderSize = 4;
constexpr std::size_t MaxCookies = 8;
constexpr std::size_t MaxCookieSize = 256;
constexpr std::size_t MaxHostNameSize = 255;

struct Record {
    bool critical;
    std::uint16_t type;
    std::span<const std::uint8_t> body;
    std::size_t size() const { return RecordHeaderSize + body.size(); }
};

// The record at the front of bytes, or nothing when it is cut short.
std::optional<Record> FrontRecord(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < RecordHeaderSize || bytes.size() - RecordHeaderSize < Read16(bytes, 2)) {
        return std::nullopt;
    }
    const std::uint16_t type = Read16(bytes, 0);
    return Record{(type & CriticalBit) != 0, static_cast<std::uint16_t>(type & ~CriticalBit),
                  bytes.subspan(RecordHeaderSize, Read16(bytes, 2))};
}

bool HoldsOnly(std::span<const std::uint8_t> body, std::uint16_t value)
{
    return body.size() == 2 && Read16(body, 0) == value;
}

bool IsHostName(std::span<const std::uint8_t> body)
{
    if (body.empty() || body.size() > MaxHostNameSize) {
        return false;
    }
    for (const std::uint8_t c : body) {
        if (c <= ' ' || c > '~') {
            return false;
        }
    }
    return true;
}

NtsKeResponse Failed(NtsKeOutcome outcome, std::uint16_t code = 0)
{
    return {.outcome = outcome, .code = code};
}

} // namespace

std::vector<std::uint8_t> BuildNtsKeRequest()
{
    // RFC 8915 section 4.1: Next Protocol and End of Message must be critical;
    // AEAD may be, and is, since no other algorithm will do.
    return {
        0x80, 0x01, 0x00, 0x02, 0x00, 0x00, // Next Protocol Negotiation: NTPv4
        0x80, 0x04, 0x00, 0x02, 0x00, 0x0F, // AEAD Algorithm Negotiation: AEAD_AES_SIV_CMAC_256
        0x80, 0x00, 0x00, 0x00,             // End of Message
    };
}

std::optional<std::size_t> NtsKeResponseLength(std::span<const std::uint8_t> received)
{
    std::size_t offset = 0;
    while (const std::optional<Record> record = FrontRecord(received.subspan(offset))) {
        offset += record->size();
        if (record->type == EndOfMessage) {
            return offset;
        }
    }
    if (received.size() > NtsKeResponseLimit) {
        return received.size();
    }
    return std::nullopt;
}

NtsKeResponse ParseNtsKeResponse(std::span<const std::uint8_t> response)
{
    if (response.size() > NtsKeResponseLimit) {
        return Failed(NtsKeOutcome::Malformed);
    }
    NtsKeResponse result{.outcome = NtsKeOutcome::Accepted};
    bool choseProtocol = false;
    bool choseAead = false;
    bool namedPort = false;
    while (const std::optional<Record> record = FrontRecord(response)) {
        response = response.subspan(record->size());
        const std::span<const std::uint8_t> body = record->body;
        switch (record->type) {
        case EndOfMessage:
            // RFC 8915 section 4.1.1: the last record, with an empty body.
            if (!response.empty() || !body.empty()) {
                return Failed(NtsKeOutcome::Malformed);
            }
            // RFC 8915 section 4.1.2: the server always names the protocol it chose.
            if (!choseProtocol) {
                return Failed(NtsKeOutcome::UnsupportedProtocol);
            }
            // RFC 8915 section 4.1.5: and, for NTPv4, the algorithm.
            if (!choseAead) {
                return Failed(NtsKeOutcome::UnsupportedAead);
            }
            // RFC 8915 section 4.1.6: without a cookie no request can be sent.
            if (result.cookies.empty()) {
                return Failed(NtsKeOutcome::NoCookie);
            }
            return result;
        case NextProtocol:
            // RFC 8915 section 4.1.2: exactly one record, holding the one protocol chosen.
            if (choseProtocol) {
                return Failed(NtsKeOutcome::Malformed);
            }
            if (!HoldsOnly(body, ProtocolNtpV4)) {
                return Failed(NtsKeOutcome::UnsupportedProtocol);
            }
            choseProtocol = true;
            break;
        case Error:
        case Warning:
            // RFC 8915 sections 4.1.3 and 4.1.4: a 16-bit code. No warning is
            // defined, and with no log to put it in, one ends the exchange.
            if (body.size() != 2) {
                return Failed(NtsKeOutcome::Malformed);
            }
            return Failed(record->type == Error ? NtsKeOutcome::ServerError : NtsKeOutcome::ServerWarning,
                          Read16(body, 0));
        case AeadAlgorithm:
            // RFC 8915 section 4.1.5: at most one record, holding one algorithm the client offered.
            if (choseAead) {
                return Failed(NtsKeOutcome::Malformed);
            }
            if (!HoldsOnly(body, AeadAesSivCmac256)) {
                return Failed(NtsKeOutcome::UnsupportedAead);
            }
            choseAead = true;
            break;
        case NewCookie:
            // RFC 8915 section 4.1.6: opaque to the client. One request needs
            // one; the rest are kept up to a bound, and unusable ones skipped.
            if (!body.empty() && body.size() <= MaxCookieSize && result.cookies.size() < MaxCookies) {
                result.cookies.emplace_back(body.begin(), body.end());
            }
            break;
        case ServerNegotiation:
            // RFC 8915 section 4.1.7: one ASCII host name or address.
            if (!result.ntpServer.empty() || !IsHostName(body)) {
                return Failed(NtsKeOutcome::Malformed);
            }
            result.ntpServer.assign(body.begin(), body.end());
            break;
        case PortNegotiation:
            // RFC 8915 section 4.1.8: one 16-bit port.
            if (namedPort || body.size() != 2 || Read16(body, 0) == 0) {
                return Failed(NtsKeOutcome::Malformed);
            }
            result.ntpPort = Read16(body, 0);
            namedPort = true;
            break;
        default:
            // RFC 8915 section 4: an unknown record may be skipped only when it is not critical.
            if (record->critical) {
                return Failed(NtsKeOutcome::UnknownCriticalRecord, record->type);
            }
        }
    }
    // RFC 8915 section 4: records run to an End of Message; this one was cut short.
    return Failed(NtsKeOutcome::Malformed);
}

} // namespace chronavel
