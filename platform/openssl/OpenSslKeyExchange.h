#pragma once

#include "platform/TlsKeyExchange.h"
#include "platform/openssl/CertificateVerdict.h"

#include <atomic>

namespace chronavel {

// The whole exchange, blocking the calling thread until it ends, fails, runs
// out of time or sees abandoned set (then its outcome is meaningless). Without
// a CA file, the server's certificate is the verdict's to judge, or, when it
// is empty, OpenSSL's against the system's store.
TlsKeyExchangeOutcome RunTlsKeyExchange(const TlsKeyExchangeRequest& request, const CertificateVerdict& verdict,
                                        const std::atomic<bool>& abandoned);

} // namespace chronavel
