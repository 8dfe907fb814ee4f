#include "tests/support/NtsServerReply.h"

#include "tests/support/ChecksumAead.h"

#include <algorithm>

namespace chronavel::testing {
namespace {

void Append16(Bytes& bytes, std::size_t value)
{
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    bytes.push_back(static_cast<std::uint8_t>(value));
}

} // namespace

void AppendExtensionField(Bytes& packet, std::uint16_t type, std::span<const std::uint8_t> body)
{
    const std::size_t length = std::max<std::size_t>(16, (4 + body.size() + 3) / 4 * 4);
    Append16(packet, type);
    Append16(packet, length);
    packet.insert(packet.end(), body.begin(), body.end());
    packet.resize(packet.size() + length - 4 - body.size(), 0);
}

void AppendAuthenticator(Bytes& packet, std::span<const std::uint8_t> key, std::span<const std::uint8_t> hidden)
{
    const Bytes nonce(16, 0x5A);
    const Bytes sealed = ChecksumAead().Seal(key, nonce, packet, hidden);
    Bytes body;
    Append16(body, nonce.size());
    Append16(body, sealed.size());
    body.insert(body.end(), nonce.begin(), nonce.end());
    body.insert(body.end(), sealed.begin(), sealed.end());
    AppendExtensionField(packet, AuthenticatorField, body);
}

} // namespace chronavel::testing
