#pragma once

#include "platform/TlsKeyExchange.h"
#include "platform/openssl/CertificateVerdict.h"

#include <functional>

namespace chronavel {

class DeferredEvents;

// Hands a task to the UI thread, to run there in a later turn of whichever
// event loop runs then (a message box's too). Called from other threads;
// each flavour supplies its own.
using PostToUiThread = std::function<void(std::function<void()> task)>;

// Key exchanges on OpenSSL, each on a thread of its own. An outcome is posted
// to the UI thread, where it waits among the deferred events for the next
// pump call, so that it is never handled inside a message box's own loop.
// Unless a request names a CA file, the verdict (when not empty) judges the
// server's certificate.
class OpenSslTlsKeyExchangeFactory final : public ITlsKeyExchangeFactory {
public:
    OpenSslTlsKeyExchangeFactory(DeferredEvents& deferred, PostToUiThread post, CertificateVerdict verdict = {})
        : m_deferred(deferred)
        , m_post(std::move(post))
        , m_verdict(std::move(verdict))
    {
    }

    std::unique_ptr<ITlsKeyExchange> Start(TlsKeyExchangeRequest request, Done done) override;

private:
    DeferredEvents& m_deferred;
    PostToUiThread m_post;
    CertificateVerdict m_verdict;
};

} // namespace chronavel
