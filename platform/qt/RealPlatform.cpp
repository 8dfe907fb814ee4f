#include "platform/qt/RealPlatform.h"

namespace chronavel {

RealPlatform::RealPlatform()
    : m_messageBox(m_shutdown, "Chronavel")
    , m_eventPump(m_deferred, m_shutdown)
    , m_udpSockets(m_deferred, m_monotonicClock)
    , m_platform{m_messageBox,    m_eventPump,   m_wallClock,   m_monotonicClock, m_randomSource,
                 m_udpSockets,    m_httpClients, m_jsonParsers, m_dateFormatter}
{
}

} // namespace chronavel
