#include "tests/support/ChecksumAead.h"

#include <algorithm>
#include <array>

namespace chronavel::testing {
namespace {

constexpr std::size_t TagSize = 16;
using Tag = std::array<std::uint8_t, TagSize>;

// Two FNV-1a lanes; each part's length goes in first, so bytes cannot move
// from one part to the next unnoticed.
Tag Checksum(std::initializer_list<std::span<const std::uint8_t>> parts)
{
    std::uint64_t lanes[2] = {0xCBF29CE484222325U, 0x84222325CBF29CE4U};
    const auto mix = [&](std::uint8_t byte) {
        for (std::uint64_t& lane : lanes) {
            lane = (lane ^ byte) * 0x100000001B3U;
        }
    };
    for (const std::span<const std::uint8_t> part : parts) {
        for (int shift = 0; shift < 64; shift += 8) {
            mix(static_cast<std::uint8_t>(part.size() >> shift));
        }
        std::for_each(part.begin(), part.end(), mix);
    }
    Tag tag{};
    for (std::size_t i = 0; i < TagSize; ++i) {
        tag[i] = static_cast<std::uint8_t>(lanes[i / 8] >> (8 * (i % 8)));
    }
    return tag;
}

std::vector<std::uint8_t> Masked(std::span<const std::uint8_t> bytes, const Tag& tag)
{
    std::vector<std::uint8_t> out(bytes.begin(), bytes.end());
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] ^= tag[i % TagSize];
    }
    return out;
}

} // namespace

std::vector<std::uint8_t> ChecksumAead::Seal(std::span<const std::uint8_t> key, std::span<const std::uint8_t> nonce,
                                             std::span<const std::uint8_t> associatedData,
                                             std::span<const std::uint8_t> plaintext)
{
    const Tag tag = Checksum({key, nonce, associatedData, plaintext});
    std::vector<std::uint8_t> sealed(tag.begin(), tag.end());
    const std::vector<std::uint8_t> masked = Masked(plaintext, tag);
    sealed.insert(sealed.end(), masked.begin(), masked.end());
    return sealed;
}

std::optional<std::vector<std::uint8_t>> ChecksumAead::Open(std::span<const std::uint8_t> key,
                                                            std::span<const std::uint8_t> nonce,
                                                            std::span<const std::uint8_t> associatedData,
                                                            std::span<const std::uint8_t> sealed)
{
    if (sealed.size() < TagSize) {
        return std::nullopt;
    }
    Tag tag{};
    std::copy_n(sealed.begin(), TagSize, tag.begin());
    std::vector<std::uint8_t> plaintext = Masked(sealed.subspan(TagSize), tag);
    if (Checksum({key, nonce, associatedData, plaintext}) != tag) {
        return std::nullopt;
    }
    ++verified;
    return plaintext;
}

} // namespace chronavel::testing
