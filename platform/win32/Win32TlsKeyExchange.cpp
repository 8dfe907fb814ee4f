#include "platform/win32/Win32TlsKeyExchange.h"

#include "platform/common/DeferredEvents.h"
#include "platform/win32/MessageWindow.h"

namespace chronavel {

Win32TlsKeyExchange::Win32TlsKeyExchange(TlsKeyExchangeRequest request, CertificateVerdict verdict,
                                         ITlsKeyExchangeFactory::Done done, DeferredEvents& deferred)
    : m_deferred(deferred)
    , m_done(std::move(done))
    , m_window(CreateMessageWindow(WindowClassName, &Win32TlsKeyExchange::WindowProc, this))
    , m_thread(std::move(request), std::move(verdict), [this](TlsKeyExchangeOutcome outcome) {
        const std::lock_guard lock(m_mutex);
        m_outcome = std::move(outcome);
        // Posting wakes the window's thread at once. Should the queue be
        // full, the request's wait runs out as if the server were silent.
        PostMessageW(m_window.get(), FinishedMessage, 0, 0);
    })
{
}

Win32TlsKeyExchange::~Win32TlsKeyExchange()
{
    m_deferred.Discard(this);
}

LRESULT CALLBACK Win32TlsKeyExchange::WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    auto* self = reinterpret_cast<Win32TlsKeyExchange*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (self != nullptr && message == FinishedMessage) {
        self->OnFinished();
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void Win32TlsKeyExchange::OnFinished()
{
    TlsKeyExchangeOutcome outcome;
    {
        const std::lock_guard lock(m_mutex);
        // Only the thread's own message comes with an outcome; another is stray.
        if (!m_outcome) {
            return;
        }
        outcome = std::move(*m_outcome);
        m_outcome.reset();
    }
    m_deferred.Post(this, [this, outcome = std::move(outcome)]() mutable {
        // The handler may well destroy this object.
        const auto handler = std::move(m_done);
        handler(std::move(outcome));
    });
}

} // namespace chronavel
