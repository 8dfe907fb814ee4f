#pragma once

#include "platform/TlsKeyExchange.h"

#include <atomic>
#include <chrono>
#include <string>

namespace chronavel {

// Ends an exchange early: thrown by its steps, caught where it ends.
struct ExchangeFailed {
    TlsKeyExchangeFailure kind;
    std::string description;
};

// When an exchange must have ended, and whether its owner still waits.
struct Deadline {
    std::chrono::steady_clock::time_point end;
    const std::atomic<bool>& abandoned;
};

} // namespace chronavel
