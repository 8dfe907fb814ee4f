#pragma once

#include "platform/RandomSource.h"

namespace chronavel {

// The kernel's random source, through getrandom(2).
class SystemRandomSource final : public IRandomSource {
public:
    std::uint64_t Random64() override;
};

} // namespace chronavel
