#pragma once

#include "platform/Platform.h"
#include "platform/curl/CurlHttpClient.h"
#include "platform/common/DeferredEvents.h"
#include "platform/qt/QtDateFormatter.h"
#include "platform/qt/QtEventPump.h"
#include "platform/qt/QtJsonParser.h"
#include "platform/qt/QtMessageBox.h"
#include "platform/qt/QtUdpSocket.h"
#include "platform/qt/QtWallClock.h"
#include "platform/qt/ShutdownWatch.h"

namespace chronavel {

// The program's platform: Qt for the window system, sockets, JSON and
// dates, libcurl for HTTPS. Needs a QApplication that outlives it.
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
    QtUdpSocketFactory m_udpSockets;
    CurlHttpClientFactory m_httpClients;
    QtJsonParserFactory m_jsonParsers;
    QtDateFormatter m_dateFormatter;
    Platform m_platform;
};

} // namespace chronavel
