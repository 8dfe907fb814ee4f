#include "nts/ExtensionFields.h"

#include "BigEndian.h"

#include <algorithm>
#include <optional>

namespace chronavel {
namespace {

using nts::Append16;
using nts::Read16;

enum FieldType : std::uint16_t {
    UniqueIdentifier = 0x0104,
    NtsCookie = 0x0204,
    Authenticator = 0x0404,
};

constexpr std::size_t FieldHeaderSize = 4;
constexpr std::size_t MinFieldSize = 16;

std::size_t PaddedTo4(std::size_t size)
{
    return (size + 3) & ~std::size_t{3};
}

void AppendPadded(std::vector<std::uint8_t>& packet, std::span<const std::uint8_t> bytes)
{
    packet.insert(packet.end(), bytes.begin(), bytes.end());
    packet.resize(PaddedTo4(packet.size()));
}

// RFC 7822: a field is a whole number of 4-byte words, at least 16 bytes,
// with zeros for padding; it starts on a word since the header is 12 words.
void AppendField(std::vector<std::uint8_t>& packet, std::uint16_t type, auto appendBody)
{
    const std::size_t start = packet.size();
    Append16(packet, type);
    Append16(packet, 0);
    appendBody();
    packet.resize(std::max(PaddedTo4(packet.size()), start + MinFieldSize));
    const std::size_t length = packet.size() - start;
    packet[start + 2] = static_cast<std::uint8_t>(length >> 8);
    packet[start + 3] = static_cast<std::uint8_t>(length);
}

struct Field {
    std::uint16_t type;
    std::size_t offset;
    std::span<const std::uint8_t> body;
};

// The fields after the header, or nothing unless they tile the rest of the
// datagram as RFC 7822 lays them out (no MAC follows them under NTS).
std::optional<std::vector<Field>> SplitFields(std::span<const std::uint8_t> datagram)
{
    std::vector<Field> fields;
    for (std::size_t offset = NtpPacketSize; offset < datagram.size();) {
        const std::span<const std::uint8_t> rest = datagram.subspan(offset);
        if (rest.size() < MinFieldSize) {
            return std::nullopt;
        }
        const std::size_t length = Read16(rest, 2);
        if (length < MinFieldSize || length % 4 != 0 || length > rest.size()) {
            return std::nullopt;
        }
        fields.push_back({Read16(rest, 0), offset, rest.subspan(FieldHeaderSize, length - FieldHeaderSize)});
        offset += length;
    }
    return fields;
}

// Whether the authenticator, the last field, verifies over every byte before it.
bool IsAuthentic(std::span<const std::uint8_t> datagram, const Field& authenticator, const NtsKey& key, IAeadSiv& aead)
{
    const std::span<const std::uint8_t> body = authenticator.body;
    const std::size_t nonceLength = Read16(body, 0);
    const std::size_t sealedLength = Read16(body, 2);
    const std::size_t sealedOffset = FieldHeaderSize + PaddedTo4(nonceLength);
    // RFC 8915 section 5.6: both parts padded to words; more padding may follow.
    if (sealedOffset + PaddedTo4(sealedLength) > body.size()) {
        return false;
    }
    return aead
        .Open(key, body.subspan(FieldHeaderSize, nonceLength), datagram.first(authenticator.offset),
              body.subspan(sealedOffset, sealedLength))
        .has_value();
}

} // namespace

std::vector<std::uint8_t> BuildNtsRequest(const NtsRequestNonces& request, std::span<const std::uint8_t> cookie,
                                          const NtsKey& clientToServer, IAeadSiv& aead)
{
    const NtpPacket header = BuildRequest(request.nonce);
    std::vector<std::uint8_t> packet(header.begin(), header.end());
    // RFC 8915 section 5: extension fields are NTPv4's.
    packet[0] = 0x23; // leap 0, version 4, mode 3 (client)
    AppendField(packet, UniqueIdentifier, [&] { AppendPadded(packet, request.uniqueId); });
    AppendField(packet, NtsCookie, [&] { AppendPadded(packet, cookie); });
    // RFC 8915 section 5.6: last, sealing nothing, over all the bytes before
    // it. At 40 bytes it meets RFC 7822's 28-byte minimum for a last field
    // with no MAC after it.
    const std::vector<std::uint8_t> sealed = aead.Seal(clientToServer, request.aeadNonce, packet, {});
    AppendField(packet, Authenticator, [&] {
        Append16(packet, request.aeadNonce.size());
        Append16(packet, sealed.size());
        AppendPadded(packet, request.aeadNonce);
        AppendPadded(packet, sealed);
    });
    return packet;
}

NtsReply ReadNtsReply(std::span<const std::uint8_t> datagram, const NtsRequestNonces& request,
                      const NtsKey& serverToClient, IAeadSiv& aead)
{
    if (datagram.size() < NtpPacketSize) {
        return {};
    }
    const std::optional<std::vector<Field>> fields = SplitFields(datagram);
    if (!fields) {
        return {};
    }
    // RFC 8915 section 5.3: every reply, a NAK too, echoes our Unique Identifier.
    bool echoesOurId = false;
    for (const Field& field : *fields) {
        if (field.type == UniqueIdentifier) {
            if (!std::equal(field.body.begin(), field.body.end(), request.uniqueId.begin(), request.uniqueId.end())) {
                return {};
            }
            echoesOurId = true;
        }
    }
    if (!echoesOurId) {
        return {};
    }
    // RFC 8915 section 5.7: a NAK (kiss code "NTSN") carries no authenticator.
    if (IsKissOfDeath(datagram, request.nonce, "NTSN")) {
        return {.status = NtsReplyStatus::Nak};
    }
    // RFC 8915 section 5.6: the authenticator is last, since nothing after it
    // would be authenticated.
    if (fields->back().type != Authenticator || !IsAuthentic(datagram, fields->back(), serverToClient, aead)) {
        return {};
    }
    if (!EchoesNonce(datagram, request.nonce)) {
        return {};
    }
    const std::optional<ServerTimes> times = ReadReply(datagram, request.nonce);
    if (!times) {
        return {.status = NtsReplyStatus::NoTime};
    }
    return {.status = NtsReplyStatus::Usable, .times = *times};
}

} // namespace chronavel
