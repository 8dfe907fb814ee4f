#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace chronavel::nts {

inline std::uint16_t Read16(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    return static_cast<std::uint16_t>((bytes[offset] << 8) | bytes[offset + 1]);
}

inline void Append16(std::vector<std::uint8_t>& bytes, std::size_t value)
{
    bytes.push_back(static_cast<std::uint8_t>(value >> 8));
    bytes.push_back(static_cast<std::uint8_t>(value));
}

} // namespace chronavel::nts
