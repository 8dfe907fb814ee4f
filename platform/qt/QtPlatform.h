#pragma once

#include "platform/Platform.h"
#include "platform/common/DeferredEvents.h"
#include "platform/common/SystemWallClock.h"
#include "platform/json/NlohmannJsonParser.h"
#include "platform/linux/BootTimeClock.h"
#include "platform/linux/SystemRandomSource.h"
#include "platform/openssl/OpenSslAeadSiv.h"
#include "platform/openssl/OpenSslTlsKeyExchangeFactory.h"
#include "platform/qt/QtDateFormatter.h"
#include "platform/qt/QtEventPump.h"
#include "platform/qt/QtMessageBox.h"
#include "platform/qt/QtTimeZoneDatabase.h"
#include "platform/qt/QtUdpSocket.h"
#include "platform/qt/ShutdownWatch.h"

#include <memory>

namespace chronavel {

// The program's platform: Qt for the window system, sockets and dates,
// nlohmann-json for JSON; the time zone service answered in-process from
// the system's zone database, or, in a build with an API key, the web
// service through libcurl. Needs a QApplication that outlives it.
class QtPlatform {
public:
    QtPlatform();

    QtPlatform(const QtPlatform&) = delete;
    QtPlatform& operator=(const QtPlatform&) = delete;

    const Platform& platform() const { return m_platform; }

private:
    ShutdownWatch m_shutdown;
    DeferredEvents m_deferred;
    QtMessageBox m_messageBox;
    QtEventPump m_eventPump;
    SystemWallClock m_wallClock;
    BootTimeClock m_monotonicClock;
    SystemRandomSource m_randomSource;
    QtUdpSocketFactory m_udpSockets;
    QtTimeZoneDatabase m_zoneDatabase;
    std::unique_ptr<IHttpClientFactory> m_timeZoneService;
    NlohmannJsonParserFactory m_jsonParsers;
    QtDateFormatter m_dateFormatter;
    OpenSslTlsKeyExchangeFactory m_tlsKeyExchanges{m_deferred, PostToEventLoop};
    OpenSslAeadSiv m_aeadSiv;
    Platform m_platform;
};

} // namespace chronavel
