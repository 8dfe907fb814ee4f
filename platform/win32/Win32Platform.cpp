#include "platform/win32/Win32Platform.h"

namespace chronavel {

#if CHRONAVEL_EMBEDDED_TIME_ZONE_SERVICE
Win32Platform::Win32Platform() : Win32Platform(m_embeddedService)
{
}
#else
Win32Platform::Win32Platform() : Win32Platform(m_webService)
{
}
#endif

Win32Platform::Win32Platform(IHttpClientFactory& timeZoneService)
    : m_platform{m_messageBox,    m_eventPump,   m_wallClock,     m_monotonicClock,   m_randomSource, m_udpSockets,
                 timeZoneService, m_jsonParsers, m_dateFormatter, &m_tlsKeyExchanges, &m_aeadSiv}
{
}

} // namespace chronavel
