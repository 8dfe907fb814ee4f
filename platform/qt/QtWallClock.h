#pragma once

#include "platform/WallClock.h"

namespace chronavel {

class QtWallClock final : public IWallClock {
public:
    std::int64_t Now() override;
};

} // namespace chronavel
