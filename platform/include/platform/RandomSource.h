#pragma once

#include <cstdint>

namespace chronavel {

// The operating system's source of unpredictable bits.
class IRandomSource {
public:
    virtual ~IRandomSource() = default;
    // Throws PlatformError when the source cannot be read.
    virtual std::uint64_t Random64() = 0;
};

} // namespace chronavel
