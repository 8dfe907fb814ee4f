#pragma once

#include "platform/TlsKeyExchange.h"
#include "platform/openssl/CertificateVerdict.h"

#include <atomic>
#include <functional>
#include <thread>

namespace chronavel {

// Runs one exchange on a thread of its own, which hands the outcome to
// finished, unless the object was destroyed first. Destroying it waits for
// the thread, which notices within a twentieth of a second (a host name
// lookup under way is left to end alone). The verdict, when not empty,
// judges the server's certificate (see RunTlsKeyExchange).
class KeyExchangeThread {
public:
    KeyExchangeThread(TlsKeyExchangeRequest request, CertificateVerdict verdict,
                      std::function<void(TlsKeyExchangeOutcome)> finished);
    ~KeyExchangeThread();
    KeyExchangeThread(const KeyExchangeThread&) = delete;
    KeyExchangeThread& operator=(const KeyExchangeThread&) = delete;

private:
    std::atomic<bool> m_abandoned{false};
    std::thread m_thread;
};

} // namespace chronavel
