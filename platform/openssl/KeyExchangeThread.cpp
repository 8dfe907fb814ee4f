#include "platform/openssl/KeyExchangeThread.h"

#include "platform/PlatformError.h"
#include "platform/openssl/NativeSocket.h"
#include "platform/openssl/OpenSslKeyExchange.h"

#include <openssl/crypto.h>

#include <system_error>

namespace chronavel {

KeyExchangeThread::KeyExchangeThread(TlsKeyExchangeRequest request, CertificateVerdict verdict,
                                     std::function<void(TlsKeyExchangeOutcome)> finished)
{
    try {
        m_thread = std::thread(
            [this, request = std::move(request), verdict = std::move(verdict), finished = std::move(finished)] {
                native_socket::PrepareThread();
                TlsKeyExchangeOutcome outcome = RunTlsKeyExchange(request, verdict, m_abandoned);
                // This thread's OpenSSL state (its error queue, say), which a
                // statically linked OpenSSL would otherwise keep.
                OPENSSL_thread_stop();
                if (!m_abandoned) {
                    finished(std::move(outcome));
                }
            });
    } catch (const std::system_error& failure) {
        throw PlatformError(failure.what());
    }
}

KeyExchangeThread::~KeyExchangeThread()
{
    m_abandoned = true;
    m_thread.join();
}

} // namespace chronavel
