// AES-SIV against RFC 5297's vectors and against Nettle, a second
// implementation, where the RFC has none (the empty plaintext).
#include "platform/openssl/OpenSslAeadSiv.h"

#include "platform/PlatformError.h"

#include <nettle/siv-cmac.h>

#include <gtest/gtest.h>

#include <string>

namespace chronavel {
namespace {

using Bytes = std::vector<std::uint8_t>;

Bytes FromHex(std::string hex)
{
    std::erase(hex, ' ');
    Bytes bytes;
    for (std::size_t i = 0; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

struct Vector {
    const char* name;
    Bytes key;
    std::vector<Bytes> components;
    Bytes plaintext;
    Bytes sealed;
};

const std::vector<Vector>& Rfc5297Vectors()
{
    static const std::vector<Vector> vectors{
        {"A.1 deterministic",
         FromHex("fffefdfc fbfaf9f8 f7f6f5f4 f3f2f1f0 f0f1f2f3 f4f5f6f7 f8f9fafb fcfdfeff"),
         {FromHex("10111213 14151617 18191a1b 1c1d1e1f 20212223 24252627")},
         FromHex("11223344 55667788 99aabbcc ddee"),
         FromHex("85632d07 c6e8f37f 950acd32 0a2ecc93 40c02b96 90c4dc04 daef7f6a fe5c")},
        {"A.2 nonce-based",
         FromHex("7f7e7d7c 7b7a7978 77767574 73727170 40414243 44454647 48494a4b 4c4d4e4f"),
         {FromHex("00112233 44556677 8899aabb ccddeeff deaddada deaddada ffeeddcc bbaa9988 77665544 33221100"),
          FromHex("10203040 50607080 90a0"), FromHex("09f91102 9d74e35b d84156c5 635688c0")},
         FromHex("74686973 20697320 736f6d65 20706c61 696e7465 78742074 6f20656e 63727970 74207573 696e6720 "
                 "5349562d 414553"),
         FromHex("7bdb6e3b 432667eb 06f4d14b ff2fbd0f cb900f2f ddbe4043 26601965 c889bf17 dba77ceb 094fa663 "
                 "b7a3f748 ba8af829 ea64ad54 4a272e9c 485b62a3 fd5c0d")},
    };
    return vectors;
}

TEST(OpenSslAeadSiv, SealsAndOpensRfc5297Vectors)
{
    for (const Vector& vector : Rfc5297Vectors()) {
        SCOPED_TRACE(vector.name);
        const std::vector<std::span<const std::uint8_t>> components(vector.components.begin(), vector.components.end());
        EXPECT_EQ(OpenSslAeadSiv::SealComponents(vector.key, components, vector.plaintext), vector.sealed);
        EXPECT_EQ(OpenSslAeadSiv::OpenComponents(vector.key, components, vector.sealed), vector.plaintext);
    }
}

Bytes Counting(std::size_t size, std::uint8_t from)
{
    Bytes bytes(size);
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<std::uint8_t>(from + i);
    }
    return bytes;
}

Bytes NettleSeal(const Bytes& key, const Bytes& nonce, const Bytes& associatedData, const Bytes& plaintext)
{
    siv_cmac_aes128_ctx context;
    siv_cmac_aes128_set_key(&context, key.data());
    Bytes sealed(plaintext.size() + SIV_DIGEST_SIZE);
    siv_cmac_aes128_encrypt_message(&context, nonce.size(), nonce.data(), associatedData.size(), associatedData.data(),
                                    sealed.size(), sealed.data(), plaintext.data());
    return sealed;
}

// The client's request seals nothing; its reply seals a few fields. Empty
// associated data is still one component, as in Nettle.
TEST(OpenSslAeadSiv, AgreesWithNettleIncludingTheEmptyPlaintext)
{
    OpenSslAeadSiv siv;
    const Bytes key = Counting(32, 0x40);
    const Bytes nonce = Counting(16, 0xa0);
    for (const std::size_t associatedSize : {0, 48, 100}) {
        for (const std::size_t plaintextSize : {0, 1, 16, 17, 56}) {
            SCOPED_TRACE("associated data " + std::to_string(associatedSize) + ", plaintext "
                         + std::to_string(plaintextSize));
            const Bytes associatedData = Counting(associatedSize, 0x10);
            const Bytes plaintext = Counting(plaintextSize, 0x70);
            const Bytes sealed = siv.Seal(key, nonce, associatedData, plaintext);
            EXPECT_EQ(sealed, NettleSeal(key, nonce, associatedData, plaintext));
            EXPECT_EQ(siv.Open(key, nonce, associatedData, sealed), plaintext);
        }
    }
}

TEST(OpenSslAeadSiv, AnyFlippedBitFailsToOpen)
{
    OpenSslAeadSiv siv;
    const Bytes key = Counting(32, 0x40);
    const Bytes nonce = Counting(16, 0xa0);
    const Bytes associatedData = Counting(68, 0x10);
    for (const std::size_t plaintextSize : {0, 24}) {
        const Bytes sealed = siv.Seal(key, nonce, associatedData, Counting(plaintextSize, 0x70));
        struct Tampered {
            const char* what;
            Bytes key, nonce, associatedData, sealed;
        };
        const auto flip = [](Bytes bytes, std::size_t at) {
            bytes.at(at) ^= 0x01;
            return bytes;
        };
        std::vector<Tampered> cases{
            {"IV", key, nonce, associatedData, flip(sealed, 3)},
            {"associated data", key, nonce, flip(associatedData, 40), sealed},
            {"nonce", key, flip(nonce, 15), associatedData, sealed},
            {"key", flip(key, 0), nonce, associatedData, sealed},
            {"truncated", key, nonce, associatedData, Bytes(sealed.begin(), sealed.end() - 1)},
        };
        if (plaintextSize > 0) {
            cases.push_back({"ciphertext", key, nonce, associatedData, flip(sealed, sealed.size() - 1)});
        }
        for (const Tampered& tampered : cases) {
            SCOPED_TRACE(std::string(tampered.what) + ", plaintext " + std::to_string(plaintextSize));
            EXPECT_EQ(siv.Open(tampered.key, tampered.nonce, tampered.associatedData, tampered.sealed), std::nullopt);
        }
    }
}

TEST(OpenSslAeadSiv, KeyOfTheWrongSizeIsAnError)
{
    OpenSslAeadSiv siv;
    EXPECT_THROW(siv.Seal(Bytes(16), Bytes(16), {}, Bytes(4)), PlatformError);
    EXPECT_THROW(siv.Open(Bytes(64), Bytes(16), {}, Bytes(20)), PlatformError);
}

} // namespace
} // namespace chronavel
