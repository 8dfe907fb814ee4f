#pragma once

#include "platform/TlsKeyExchange.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace chronavel {

// The platform's own judgement of the chain a server sent (DER, its leaf
// first) for the name it was reached by: None, CertificateUntrusted or
// CertificateWrongHost. Where a platform has one, it decides instead of
// OpenSSL's store unless the request names a CA file; called on the
// exchange's thread.
using CertificateVerdict = std::function<TlsKeyExchangeFailure(const std::vector<std::vector<std::uint8_t>>& chain,
                                                               const std::string& host)>;

} // namespace chronavel
