#pragma once

#include "platform/AeadSiv.h"

namespace chronavel {

// AES-SIV on OpenSSL 3's "AES-128-SIV" cipher, with the synthetic IV of an
// empty plaintext computed by S2V over OpenSSL's CMAC instead: OpenSSL 3.0's
// cipher cannot seal or open one (openssl issues 17268, 26580), and the
// client's NTP request usually has none.
class OpenSslAeadSiv final : public IAeadSiv {
public:
    using Components = std::span<const std::span<const std::uint8_t>>;

    std::vector<std::uint8_t> Seal(std::span<const std::uint8_t> key, std::span<const std::uint8_t> nonce,
                                   std::span<const std::uint8_t> associatedData,
                                   std::span<const std::uint8_t> plaintext) override;
    std::optional<std::vector<std::uint8_t>> Open(std::span<const std::uint8_t> key,
                                                  std::span<const std::uint8_t> nonce,
                                                  std::span<const std::uint8_t> associatedData,
                                                  std::span<const std::uint8_t> sealed) override;

    // RFC 5297's general form, over any list of associated-data components
    // (the nonce, when there is one, being the last).
    static std::vector<std::uint8_t> SealComponents(std::span<const std::uint8_t> key, Components associatedData,
                                                    std::span<const std::uint8_t> plaintext);
    static std::optional<std::vector<std::uint8_t>>
    OpenComponents(std::span<const std::uint8_t> key, Components associatedData, std::span<const std::uint8_t> sealed);
};

} // namespace chronavel
