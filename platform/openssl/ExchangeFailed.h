#pragma once

#include "platform/TlsKeyExchange.h"

#include <string>

namespace chronavel {

// Ends a key exchange early: thrown by its steps, caught where it ends.
struct ExchangeFailed {
    TlsKeyExchangeFailure kind;
    std::string description;
};

} // namespace chronavel
