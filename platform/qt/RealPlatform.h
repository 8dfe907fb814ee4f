#pragma once

#include "platform/Platform.h"
#include "platform/common/DeferredEvents.h"
#include "platform/curl/CurlHttpClient.h"
#include "platform/json/NlohmannJsonParser.h"
#include "platform/openssl/OpenSslAeadSiv.h"
#include "platform/qt/QtDateFormatter.h"
#include "platform/qt/QtEventPump.h"
#include "platform/qt/QtMessageBox.h"
#include "platform/qt/QtTimeZoneDatabase.h"
#include "platform/qt/QtTlsKeyExchange.h"
#include "platform/qt/QtUdpSocket.h"
#include "platform/qt/QtWallClock.h"
#include "platform/qt/ShutdownWatch.h"
#include "platform/qt/SystemRandomSource.h"
#include "platform/timezone/EmbeddedTimeZoneService.h"

namespace chronavel {

// The program's platform: Qt for the window system, sockets and dates,
// nlohmann-json for JSON; the time zone service answered in-process from
// the system's zone database, or, in a build with an API key, the web
// service through libcurl. Needs a QApplication that outlives it.
class RealPlatform {
public:
    RealPlatform();

    RealPlatform(const RealPlatform&) = delete;
    RealPlatform& operator=(const RealPlatform&) = delete;

    const Platform& platform() const { return m_platform; }

private:
    ShutdownWatch m_shutdown;
    DeferredEvents m_deferred;
    QtMessageBox m_messageBox;
    QtEventPump m_eventPump;
    QtWallClock m_wallClock;
    SteadyMonotonicClock m_monotonicClock;
    SystemRandomSource m_randomSource;
    QtUdpSocketFactory m_udpSockets;
    CurlHttpClientFactory m_webService;
    QtTimeZoneDatabase m_zoneDatabase;
    EmbeddedTimeZoneServiceFactory m_embeddedService{m_zoneDatabase};
    NlohmannJsonParserFactory m_jsonParsers;
    QtDateFormatter m_dateFormatter;
    QtTlsKeyExchangeFactory m_tlsKeyExchanges{m_deferred};
    OpenSslAeadSiv m_aeadSiv;
    Platform m_platform;
};

} // namespace chronavel
