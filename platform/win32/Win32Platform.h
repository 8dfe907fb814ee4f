#pragma once

#include "platform/Platform.h"
#include "platform/common/DeferredEvents.h"
#include "platform/common/SystemWallClock.h"
#include "platform/json/NlohmannJsonParser.h"
#include "platform/openssl/OpenSslAeadSiv.h"
#include "platform/openssl/OpenSslTlsKeyExchangeFactory.h"
#include "platform/timezone/EmbeddedTimeZoneService.h"
#include "platform/win32/Win32DateFormatter.h"
#include "platform/win32/Win32EventPump.h"
#include "platform/win32/Win32MessageBox.h"
#include "platform/win32/Win32MonotonicClock.h"
#include "platform/win32/Win32RandomSource.h"
#include "platform/win32/Win32TimeZoneDatabase.h"
#include "platform/win32/Win32UdpSocket.h"
#include "platform/win32/WinHttpClient.h"
#include "platform/win32/WindowThreadPost.h"
#include "platform/win32/WindowsCertificateVerdict.h"

namespace chronavel {

// The program's platform on Windows: Winsock, the thread's message loop and
// boxes, the user's locale, authenticated time on OpenSSL, and the time zone
// service this build uses: the
// one built in, on Windows' zone database, or, in a build with an API key,
// the web service through WinHTTP. Lives on the window's thread.
class Win32Platform {
public:
    Win32Platform();
    // With a time zone service of the caller's, which outlives this object.
    explicit Win32Platform(IHttpClientFactory& timeZoneService);

    Win32Platform(const Win32Platform&) = delete;
    Win32Platform& operator=(const Win32Platform&) = delete;

    const Platform& platform() const { return m_platform; }

private:
    DeferredEvents m_deferred;
    Win32MessageBox m_messageBox{"Chronavel"};
    Win32EventPump m_eventPump{m_deferred};
    SystemWallClock m_wallClock;
    Win32MonotonicClock m_monotonicClock;
    Win32RandomSource m_randomSource;
    Win32UdpSocketFactory m_udpSockets{m_deferred, m_monotonicClock};
    WinHttpClientFactory m_webService;
    Win32TimeZoneDatabase m_zoneDatabase;
    EmbeddedTimeZoneServiceFactory m_embeddedService{m_zoneDatabase};
    NlohmannJsonParserFactory m_jsonParsers;
    Win32DateFormatter m_dateFormatter;
    WindowThreadPost m_uiThread;
    OpenSslTlsKeyExchangeFactory m_tlsKeyExchanges{m_deferred, m_uiThread.Poster(), WindowsCertificateVerdict};
    OpenSslAeadSiv m_aeadSiv;
    Platform m_platform;
};

} // namespace chronavel
