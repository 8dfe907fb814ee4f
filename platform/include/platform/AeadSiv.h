#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace chronavel {

// AEAD_AES_SIV_CMAC_256 (RFC 5297, as RFC 8915 uses it): a 32-byte key; the
// nonce is the last associated-data component before the plaintext.
class IAeadSiv {
public:
    virtual ~IAeadSiv() = default;

    // The 16-byte synthetic IV followed by the ciphertext, as long as the
    // plaintext. Throws PlatformError when the cipher cannot be used.
    virtual std::vector<std::uint8_t> Seal(std::span<const std::uint8_t> key, std::span<const std::uint8_t> nonce,
                                           std::span<const std::uint8_t> associatedData,
                                           std::span<const std::uint8_t> plaintext)
        = 0;

    // The plaintext, or nothing when the IV does not verify (a forged or
    // changed message, or the wrong key).
    virtual std::optional<std::vector<std::uint8_t>>
    Open(std::span<const std::uint8_t> key, std::span<const std::uint8_t> nonce,
         std::span<const std::uint8_t> associatedData, std::span<const std::uint8_t> sealed)
        = 0;
};

} // namespace chronavel
