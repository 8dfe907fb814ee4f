#pragma once

#include "platform/TlsKeyExchange.h"
#include "platform/openssl/KeyExchangeThread.h"
#include "platform/win32/UniqueWindow.h"
#include "platform/win32/WinsockSession.h"

#include <mutex>
#include <optional>

namespace chronavel {

class DeferredEvents;

// The exchange on its own thread; its outcome is posted to a message-only
// window of this object's, which may run inside any message loop (a message
// box's too): there it only waits among the deferred events for the next
// pump call.
class Win32TlsKeyExchange final : public ITlsKeyExchange {
public:
    Win32TlsKeyExchange(TlsKeyExchangeRequest request, CertificateVerdict verdict, ITlsKeyExchangeFactory::Done done,
                        DeferredEvents& deferred);
    ~Win32TlsKeyExchange() override;

    Win32TlsKeyExchange(const Win32TlsKeyExchange&) = delete;
    Win32TlsKeyExchange& operator=(const Win32TlsKeyExchange&) = delete;

    static constexpr wchar_t WindowClassName[] = L"ChronavelKeyExchangeWindow";
    // What the thread posts to the window once the outcome is stored.
    static constexpr UINT FinishedMessage = WM_APP + 1;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void OnFinished();

    DeferredEvents& m_deferred;
    ITlsKeyExchangeFactory::Done m_done;
    UniqueWindow m_window;
    std::mutex m_mutex;
    std::optional<TlsKeyExchangeOutcome> m_outcome; // the thread's, until its message comes
    // Last, so that it is joined first: a message it posted then goes with the window.
    KeyExchangeThread m_thread;
};

// Each exchange's server certificate is the verdict's to judge, unless its
// request names a CA file.
class Win32TlsKeyExchangeFactory final : public ITlsKeyExchangeFactory {
public:
    Win32TlsKeyExchangeFactory(DeferredEvents& deferred, CertificateVerdict verdict)
        : m_deferred(deferred)
        , m_verdict(std::move(verdict))
    {
    }
    std::unique_ptr<ITlsKeyExchange> Start(TlsKeyExchangeRequest request, Done done) override
    {
        return std::make_unique<Win32TlsKeyExchange>(std::move(request), m_verdict, std::move(done), m_deferred);
    }

private:
    WinsockSession m_winsock; // while exchanges connect
    DeferredEvents& m_deferred;
    CertificateVerdict m_verdict;
};

} // namespace chronavel
