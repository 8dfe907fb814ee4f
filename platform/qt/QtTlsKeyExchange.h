#pragma once

#include "platform/TlsKeyExchange.h"
#include "platform/openssl/KeyExchangeThread.h"

#include <QObject>

namespace chronavel {

class DeferredEvents;

// The exchange on its own thread; its outcome is queued to this object on
// the UI thread, then waits among the deferred events for the next pump
// call, so that it is never handled inside a message box's own loop.
class QtTlsKeyExchange final : public QObject, public ITlsKeyExchange {
public:
    QtTlsKeyExchange(TlsKeyExchangeRequest request, ITlsKeyExchangeFactory::Done done, DeferredEvents& deferred);
    ~QtTlsKeyExchange() override;

private:
    DeferredEvents& m_deferred;
    ITlsKeyExchangeFactory::Done m_done;
    // Last, so that it is joined first: a queued outcome then goes with this object.
    KeyExchangeThread m_thread;
};

class QtTlsKeyExchangeFactory final : public ITlsKeyExchangeFactory {
public:
    explicit QtTlsKeyExchangeFactory(DeferredEvents& deferred) : m_deferred(deferred) {}
    std::unique_ptr<ITlsKeyExchange> Start(TlsKeyExchangeRequest request, Done done) override;

private:
    DeferredEvents& m_deferred;
};

} // namespace chronavel
