#include "platform/openssl/OpenSslTlsKeyExchangeFactory.h"

#include "platform/PlatformError.h"
#include "platform/common/DeferredEvents.h"
#include "platform/openssl/NativeSocket.h"
#include "platform/openssl/OpenSslKeyExchange.h"

#include <openssl/crypto.h>

#include <atomic>
#include <system_error>
#include <thread>

namespace chronavel {
namespace {

// Destroying it abandons the exchange and waits for its thread, which
// notices within a twentieth of a second (a host name lookup under way is
// left to end alone); an outcome already posted then finds it gone.
class ThreadedKeyExchange final : public ITlsKeyExchange {
public:
    ThreadedKeyExchange(TlsKeyExchangeRequest request, const CertificateVerdict& verdict,
                        ITlsKeyExchangeFactory::Done done, DeferredEvents& deferred, const PostToUiThread& post)
        : m_deferred(deferred)
        , m_done(std::move(done))
    {
        try {
            m_thread = std::thread([this, request = std::move(request), verdict, post, alive = std::weak_ptr(m_alive)] {
                native_socket::PrepareThread();
                TlsKeyExchangeOutcome outcome = RunTlsKeyExchange(request, verdict, m_abandoned);
                // This thread's OpenSSL state, which a statically linked
                // OpenSSL would otherwise keep.
                OPENSSL_thread_stop();
                if (!m_abandoned) {
                    post([alive, outcome = std::move(outcome)]() mutable {
                        if (const auto self = alive.lock()) {
                            (*self)->Deliver(std::move(outcome));
                        }
                    });
                }
            });
        } catch (const std::system_error& failure) {
            throw PlatformError(failure.what());
        }
    }

    ~ThreadedKeyExchange() override
    {
        m_abandoned = true;
        m_thread.join();
        m_deferred.Discard(this);
    }

    ThreadedKeyExchange(const ThreadedKeyExchange&) = delete;
    ThreadedKeyExchange& operator=(const ThreadedKeyExchange&) = delete;

private:
    void Deliver(TlsKeyExchangeOutcome outcome)
    {
        m_deferred.Post(this, [this, outcome = std::move(outcome)]() mutable {
            // The handler may well destroy this object.
            const auto handler = std::move(m_done);
            handler(std::move(outcome));
        });
    }

    DeferredEvents& m_deferred;
    ITlsKeyExchangeFactory::Done m_done;
    const std::shared_ptr<ThreadedKeyExchange*> m_alive = std::make_shared<ThreadedKeyExchange*>(this);
    std::atomic<bool> m_abandoned{false};
    std::thread m_thread;
};

} // namespace

std::unique_ptr<ITlsKeyExchange> OpenSslTlsKeyExchangeFactory::Start(TlsKeyExchangeRequest request, Done done)
{
    return std::make_unique<ThreadedKeyExchange>(std::move(request), m_verdict, std::move(done), m_deferred, m_post);
}

} // namespace chronavel
