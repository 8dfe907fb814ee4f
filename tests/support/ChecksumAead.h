#pragma once

#include "platform/AeadSiv.h"

namespace chronavel::testing {

// The AEAD's shape without its secrecy: the tag is a keyed checksum of key,
// nonce, associated data and plaintext, so the wrong key or any changed byte
// fails to open; the plaintext is only masked with the tag.
class ChecksumAead final : public IAeadSiv {
public:
    std::vector<std::uint8_t> Seal(std::span<const std::uint8_t> key, std::span<const std::uint8_t> nonce,
                                   std::span<const std::uint8_t> associatedData,
                                   std::span<const std::uint8_t> plaintext) override;
    std::optional<std::vector<std::uint8_t>> Open(std::span<const std::uint8_t> key,
                                                  std::span<const std::uint8_t> nonce,
                                                  std::span<const std::uint8_t> associatedData,
                                                  std::span<const std::uint8_t> sealed) override;

    int verified = 0; // how many Open calls found the tag good
};

} // namespace chronavel::testing
