#include "platform/win32/Win32Platform.h"

namespace chronavel {

Win32Platform::Win32Platform(IHttpClientFactory& httpClients)
    : m_messageBox(m_shutdown, "Chronavel")
    , m_eventPump(m_deferred, m_socketErrors, m_shutdown)
    , m_udpSockets(m_winsock, m_deferred, m_socketErrors, m_monotonicClock)
    , m_platform{m_messageBox, m_eventPump, m_wallClock,   m_monotonicClock, m_randomSource,
                 m_udpSockets, httpClients, m_jsonParsers, m_dateFormatter}
{
}

} // namespace chronavel
