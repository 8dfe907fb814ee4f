#include "platform/openssl/OpenSslAeadSiv.h"

#include "platform/PlatformError.h"
#include "platform/openssl/OpenSslErrorText.h"

#include <openssl/core_names.h>
#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/evp.h>

#include <array>
#include <climits>
#include <memory>

namespace chronavel {
namespace {

constexpr std::size_t KeySize = 32;
constexpr std::size_t BlockSize = 16;
using Block = std::array<std::uint8_t, BlockSize>;

struct CipherDeleter {
    void operator()(EVP_CIPHER* cipher) const { EVP_CIPHER_free(cipher); }
    void operator()(EVP_CIPHER_CTX* context) const { EVP_CIPHER_CTX_free(context); }
    void operator()(EVP_MAC* mac) const { EVP_MAC_free(mac); }
    void operator()(EVP_MAC_CTX* context) const { EVP_MAC_CTX_free(context); }
};
template <typename T>
using Owned = std::unique_ptr<T, CipherDeleter>;

void Require(bool ok, const char* what)
{
    if (!ok) {
        throw PlatformError(OpenSslErrorText(what));
    }
}

int Length(std::span<const std::uint8_t> bytes)
{
    Require(bytes.size() <= INT_MAX, "AES-SIV input too long");
    return static_cast<int>(bytes.size());
}

void RequireKey(std::span<const std::uint8_t> key)
{
    if (key.size() != KeySize) {
        throw PlatformError("AES-SIV needs a 32-byte key, not " + std::to_string(key.size()) + " bytes");
    }
}

// RFC 5297 section 2.3: doubling in GF(2^128).
Block Double(const Block& value)
{
    Block doubled{};
    for (std::size_t i = 0; i < BlockSize; ++i) {
        const int next = i + 1 < BlockSize ? value[i + 1] >> 7 : 0;
        doubled[i] = static_cast<std::uint8_t>((value[i] << 1) | next);
    }
    if (value[0] & 0x80) {
        doubled[BlockSize - 1] ^= 0x87;
    }
    return doubled;
}

class Cmac {
public:
    explicit Cmac(std::span<const std::uint8_t> key) : m_key(key)
    {
        const Owned<EVP_MAC> mac(EVP_MAC_fetch(nullptr, "CMAC", nullptr));
        Require(mac != nullptr, "CMAC is not available");
        m_context.reset(EVP_MAC_CTX_new(mac.get()));
        Require(m_context != nullptr, "CMAC is not available");
    }

    Block operator()(std::span<const std::uint8_t> data)
    {
        char cipher[] = "AES-128-CBC";
        const OSSL_PARAM parameters[]
            = {OSSL_PARAM_construct_utf8_string(OSSL_MAC_PARAM_CIPHER, cipher, 0), OSSL_PARAM_construct_end()};
        Block tag{};
        std::size_t length = 0;
        Require(EVP_MAC_init(m_context.get(), m_key.data(), m_key.size(), parameters) == 1
                    && EVP_MAC_update(m_context.get(), data.data(), data.size()) == 1
                    && EVP_MAC_final(m_context.get(), tag.data(), &length, tag.size()) == 1 && length == BlockSize,
                "CMAC failed");
        return tag;
    }

private:
    std::span<const std::uint8_t> m_key;
    Owned<EVP_MAC_CTX> m_context;
};

// RFC 5297 section 2.4, S2V for an empty plaintext: the last string is
// shorter than a block, so it is padded and xored onto dbl(D). The CMAC key
// is the leftmost half of the SIV key.
Block EmptyPlaintextIv(std::span<const std::uint8_t> key, OpenSslAeadSiv::Components associatedData)
{
    Cmac cmac(key.first(KeySize / 2));
    Block d = cmac(Block{});
    for (const auto component : associatedData) {
        const Block mac = cmac(component);
        d = Double(d);
        for (std::size_t i = 0; i < BlockSize; ++i) {
            d[i] ^= mac[i];
        }
    }
    Block t = Double(d);
    t[0] ^= 0x80;
    return cmac(t);
}

Owned<EVP_CIPHER_CTX> StartCipher(std::span<const std::uint8_t> key, bool encrypting)
{
    const Owned<EVP_CIPHER> cipher(EVP_CIPHER_fetch(nullptr, "AES-128-SIV", nullptr));
    Require(cipher != nullptr, "AES-SIV is not available");
    Owned<EVP_CIPHER_CTX> context(EVP_CIPHER_CTX_new());
    Require(context != nullptr
                && EVP_CipherInit_ex2(context.get(), cipher.get(), key.data(), nullptr, encrypting ? 1 : 0, nullptr)
                    == 1,
            "AES-SIV cannot start");
    return context;
}

bool AddComponents(EVP_CIPHER_CTX* context, OpenSslAeadSiv::Components associatedData)
{
    // OpenSSL refuses a null pointer even for an empty component.
    static const std::uint8_t nothing = 0;
    for (const auto component : associatedData) {
        int length = 0;
        const std::uint8_t* const data = component.empty() ? &nothing : component.data();
        if (EVP_CipherUpdate(context, nullptr, &length, data, Length(component)) != 1) {
            return false;
        }
    }
    return true;
}

} // namespace

std::vector<std::uint8_t> OpenSslAeadSiv::Seal(std::span<const std::uint8_t> key, std::span<const std::uint8_t> nonce,
                                               std::span<const std::uint8_t> associatedData,
                                               std::span<const std::uint8_t> plaintext)
{
    const std::span<const std::uint8_t> components[] = {associatedData, nonce};
    return SealComponents(key, components, plaintext);
}

std::optional<std::vector<std::uint8_t>> OpenSslAeadSiv::Open(std::span<const std::uint8_t> key,
                                                              std::span<const std::uint8_t> nonce,
                                                              std::span<const std::uint8_t> associatedData,
                                                              std::span<const std::uint8_t> sealed)
{
    const std::span<const std::uint8_t> components[] = {associatedData, nonce};
    return OpenComponents(key, components, sealed);
}

std::vector<std::uint8_t> OpenSslAeadSiv::SealComponents(std::span<const std::uint8_t> key, Components associatedData,
                                                         std::span<const std::uint8_t> plaintext)
{
    RequireKey(key);
    if (plaintext.empty()) {
        const Block iv = EmptyPlaintextIv(key, associatedData);
        return {iv.begin(), iv.end()};
    }
    const auto context = StartCipher(key, true);
    std::vector<std::uint8_t> sealed(BlockSize + plaintext.size());
    int length = 0;
    int finalLength = 0;
    Require(
        AddComponents(context.get(), associatedData)
            && EVP_EncryptUpdate(context.get(), sealed.data() + BlockSize, &length, plaintext.data(), Length(plaintext))
                == 1
            && EVP_EncryptFinal_ex(context.get(), sealed.data() + BlockSize + length, &finalLength) == 1
            && EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_AEAD_GET_TAG, BlockSize, sealed.data()) == 1,
        "AES-SIV sealing failed");
    return sealed;
}

std::optional<std::vector<std::uint8_t>> OpenSslAeadSiv::OpenComponents(std::span<const std::uint8_t> key,
                                                                        Components associatedData,
                                                                        std::span<const std::uint8_t> sealed)
{
    RequireKey(key);
    if (sealed.size() < BlockSize) {
        return std::nullopt;
    }
    const auto iv = sealed.first(BlockSize);
    const auto ciphertext = sealed.subspan(BlockSize);
    if (ciphertext.empty()) {
        const Block expected = EmptyPlaintextIv(key, associatedData);
        if (CRYPTO_memcmp(expected.data(), iv.data(), BlockSize) != 0) {
            return std::nullopt;
        }
        return std::vector<std::uint8_t>{};
    }
    const auto context = StartCipher(key, false);
    Require(EVP_CIPHER_CTX_ctrl(context.get(), EVP_CTRL_AEAD_SET_TAG, BlockSize, const_cast<std::uint8_t*>(iv.data()))
                == 1,
            "AES-SIV cannot take the IV");
    std::vector<std::uint8_t> plaintext(ciphertext.size());
    int length = 0;
    int finalLength = 0;
    // The cipher checks the IV as it decrypts; a mismatch fails one of these.
    if (!AddComponents(context.get(), associatedData)
        || EVP_DecryptUpdate(context.get(), plaintext.data(), &length, ciphertext.data(), Length(ciphertext)) != 1
        || EVP_DecryptFinal_ex(context.get(), plaintext.data() + length, &finalLength) != 1) {
        ERR_clear_error();
        return std::nullopt;
    }
    return plaintext;
}

} // namespace chronavel
