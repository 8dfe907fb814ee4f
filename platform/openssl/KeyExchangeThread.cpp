#include "platform/openssl/KeyExchangeThread.h"

#include "platform/PlatformError.h"
#include "platform/openssl/OpenSslKeyExchange.h"

#include <csignal>
#include <system_error>

namespace chronavel {

KeyExchangeThread::KeyExchangeThread(TlsKeyExchangeRequest request, CertificateVerdict verdict,
                                     std::function<void(TlsKeyExchangeOutcome)> finished)
{
    try {
        m_thread = std::thread(
            [this, request = std::move(request), verdict = std::move(verdict), finished = std::move(finished)] {
#ifndef _WIN32
                // A write to a connection the server has closed must fail, not
                // end the program with SIGPIPE.
                sigset_t brokenPipe;
                sigemptyset(&brokenPipe);
                sigaddset(&brokenPipe, SIGPIPE);
                pthread_sigmask(SIG_BLOCK, &brokenPipe, nullptr);
#endif
                TlsKeyExchangeOutcome outcome = RunTlsKeyExchange(request, verdict, m_abandoned);
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
