#pragma once

#include "platform/RandomSource.h"

namespace chronavel::testing {

// Hands out the same bits every time, so a test knows the nonce a request
// sends and can answer it.
class FixedRandomSource final : public IRandomSource {
public:
    explicit FixedRandomSource(std::uint64_t bits = 0x0123456789ABCDEF) : value(bits) {}
    std::uint64_t Random64() override { return value; }
    std::uint64_t value;
};

} // namespace chronavel::testing
