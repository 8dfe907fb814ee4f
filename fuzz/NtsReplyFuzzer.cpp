// Any datagram in answer to an authenticated request: usable only when the
// opener verified it and it is ours; a NAK only when it says so.
#include "nts/ExtensionFields.h"

#include "tests/support/ChecksumAead.h"

#include <algorithm>
#include <cstdlib>

namespace {

using namespace chronavel;

// The request the seed corpus answers.
const NtsRequestNonces Nonces{
    .nonce = {0x01234567, 0x89ABCDEF},
    .uniqueId = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xF0, 0x0F,
                 1,    2,    3,    4,    5,    6,    7,    8,    9,    10,   11,   12,   13,   14,   15,   16},
    .aeadNonce = {},
};
const NtsKey ServerToClient{0x2C};
constexpr std::uint8_t NonceBytes[] = {0x01, 0x23, 0x45, 0x67, 0x89, 0xAB, 0xCD, 0xEF};

bool Holds(std::span<const std::uint8_t> input, std::size_t offset, std::span<const std::uint8_t> bytes)
{
    return input.size() >= offset + bytes.size()
        && std::equal(bytes.begin(), bytes.end(), input.begin() + static_cast<std::ptrdiff_t>(offset));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::span<const std::uint8_t> datagram(data, size);
    testing::ChecksumAead aead;
    const NtsReply reply = ReadNtsReply(datagram, Nonces, ServerToClient, aead);
    if (reply.status == NtsReplyStatus::Invalid) {
        return 0;
    }
    // Anything else echoes our nonce and carries our identifier.
    if (!Holds(datagram, 24, NonceBytes)
        || std::search(datagram.begin(), datagram.end(), Nonces.uniqueId.begin(), Nonces.uniqueId.end())
            == datagram.end()) {
        std::abort();
    }
    if (reply.status == NtsReplyStatus::Nak) {
        const std::uint8_t kiss[] = {'N', 'T', 'S', 'N'};
        if (datagram[1] != 0 || !Holds(datagram, 12, kiss)) {
            std::abort();
        }
        return 0;
    }
    if (aead.verified != 1) {
        std::abort();
    }
    return 0;
}
