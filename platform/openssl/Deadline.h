#pragma once

#include "platform/openssl/ExchangeFailed.h"

#include <atomic>
#include <chrono>

namespace chronavel {

// When a key exchange must have ended, and whether its owner still waits.
struct Deadline {
    std::chrono::steady_clock::time_point end;
    const std::atomic<bool>& abandoned;

    // The time left; throws once the owner has given up or the time is over.
    std::chrono::milliseconds Left() const
    {
        if (abandoned) {
            throw ExchangeFailed{TlsKeyExchangeFailure::Other, "Abandoned"};
        }
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            throw ExchangeFailed{TlsKeyExchangeFailure::Silent, "No answer within the time limit"};
        }
        return left;
    }
};

} // namespace chronavel
