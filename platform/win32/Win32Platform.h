#pragma once

#include "platform/Platform.h"
#include "platform/common/DeferredEvents.h"
#include "platform/json/NlohmannJsonParser.h"
#include "platform/win32/SocketErrorWatch.h"
#include "platform/win32/Win32DateFormatter.h"
#include "platform/win32/Win32EventPump.h"
#include "platform/win32/Win32MessageBox.h"
#include "platform/win32/Win32RandomSource.h"
#include "platform/win32/Win32ShutdownWatch.h"
#include "platform/win32/Win32UdpSocket.h"
#include "platform/win32/Win32WallClock.h"
#include "platform/win32/WinsockSession.h"

namespace chronavel {

// The program's platform on Windows: Winsock, the thread's message loop and
// boxes, the user's locale. The time zone service (HTTPS client or the
// built-in one) is made elsewhere and handed in; it outlives this object.
// Lives on the window's thread.
class Win32Platform {
public:
    explicit Win32Platform(IHttpClientFactory& httpClients);

    Win32Platform(const Win32Platform&) = delete;
    Win32Platform& operator=(const Win32Platform&) = delete;

    const Platform& platform() const { return m_platform; }
    // The window calls RequestShutdown on it as it closes.
    Win32ShutdownWatch& shutdownWatch() { return m_shutdown; }

private:
    WinsockSession m_winsock;
    Win32ShutdownWatch m_shutdown;
    DeferredEvents m_deferred;
    SocketErrorWatch m_socketErrors;
    Win32MessageBox m_messageBox;
    Win32EventPump m_eventPump;
    Win32WallClock m_wallClock;
    Win32MonotonicClock m_monotonicClock;
    Win32RandomSource m_randomSource;
    Win32UdpSocketFactory m_udpSockets;
    NlohmannJsonParserFactory m_jsonParsers;
    Win32DateFormatter m_dateFormatter;
    Platform m_platform;
};

} // namespace chronavel
