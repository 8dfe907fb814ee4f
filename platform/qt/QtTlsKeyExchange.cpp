#include "platform/qt/QtTlsKeyExchange.h"

#include "platform/common/DeferredEvents.h"

#include <QMetaObject>

namespace chronavel {

QtTlsKeyExchange::QtTlsKeyExchange(TlsKeyExchangeRequest request, ITlsKeyExchangeFactory::Done done,
                                   DeferredEvents& deferred)
    : m_deferred(deferred)
    , m_done(std::move(done))
    // OpenSSL judges certificates against the system's store.
    , m_thread(std::move(request), {}, [this](TlsKeyExchangeOutcome outcome) {
        // Posting wakes the UI thread's event loop at once.
        QMetaObject::invokeMethod(
            this,
            [this, outcome = std::move(outcome)]() mutable {
                m_deferred.Post(this, [this, outcome = std::move(outcome)]() mutable {
                    // The handler may well destroy this object.
                    const auto handler = std::move(m_done);
                    handler(std::move(outcome));
                });
            },
            Qt::QueuedConnection);
    })
{
}

QtTlsKeyExchange::~QtTlsKeyExchange()
{
    m_deferred.Discard(this);
}

std::unique_ptr<ITlsKeyExchange> QtTlsKeyExchangeFactory::Start(TlsKeyExchangeRequest request, Done done)
{
    return std::make_unique<QtTlsKeyExchange>(std::move(request), std::move(done), m_deferred);
}

} // namespace chronavel
