#pragma once

#include "platform/RandomSource.h"

namespace chronavel {

// The system's preferred random generator, through BCryptGenRandom.
class Win32RandomSource final : public IRandomSource {
public:
    std::uint64_t Random64() override;
};

} // namespace chronavel
