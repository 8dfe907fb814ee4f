#pragma once

#include "platform/TlsKeyExchange.h"

#include <atomic>

namespace chronavel {

// The whole exchange, blocking the calling thread until it ends, fails, runs
// out of time or sees abandoned set (then its outcome is meaningless).
TlsKeyExchangeOutcome RunTlsKeyExchange(const TlsKeyExchangeRequest& request, const std::atomic<bool>& abandoned);

} // namespace chronavel
