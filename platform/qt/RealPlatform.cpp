#include "platform/qt/RealPlatform.h"

namespace chronavel {
namespace {

IHttpClientFactory& TimeZoneService(CurlHttpClientFactory& webService, EmbeddedTimeZoneServiceFactory& embeddedService)
{
#if CHRONAVEL_EMBEDDED_TIME_ZONE_SERVICE
    static_cast<void>(webService);
    return embeddedService;
#else
    static_cast<void>(embeddedService);
    return webService;
#endif
}

} // namespace

RealPlatform::RealPlatform()
    : m_messageBox(m_shutdown, "Chronavel")
    , m_eventPump(m_deferred, m_shutdown)
    , m_udpSockets(m_deferred, m_monotonicClock)
    , m_platform{m_messageBox,
                 m_eventPump,
                 m_wallClock,
                 m_monotonicClock,
                 m_randomSource,
                 m_udpSockets,
                 TimeZoneService(m_webService, m_embeddedService),
                 m_jsonParsers,
                 m_dateFormatter,
                 &m_tlsKeyExchanges,
                 &m_aeadSiv}
{
}

} // namespace chronavel
