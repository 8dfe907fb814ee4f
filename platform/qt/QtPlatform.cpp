#include "platform/qt/QtPlatform.h"

// Only a build with an API key links libcurl.
#if CHRONAVEL_EMBEDDED_TIME_ZONE_SERVICE
#include "platform/timezone/EmbeddedTimeZoneService.h"
#else
#include "platform/curl/CurlHttpClient.h"
#endif

namespace chronavel {
namespace {

std::unique_ptr<IHttpClientFactory> TimeZoneServiceClients(const QtTimeZoneDatabase& zones)
{
#if CHRONAVEL_EMBEDDED_TIME_ZONE_SERVICE
    return std::make_unique<EmbeddedTimeZoneServiceFactory>(zones);
#else
    static_cast<void>(zones);
    return std::make_unique<CurlHttpClientFactory>();
#endif
}

} // namespace

QtPlatform::QtPlatform()
    : m_messageBox(m_shutdown, "Chronavel")
    , m_eventPump(m_deferred, m_shutdown)
    , m_udpSockets(m_deferred, m_monotonicClock)
    , m_timeZoneService(TimeZoneServiceClients(m_zoneDatabase))
    , m_platform{m_messageBox,       m_eventPump,   m_wallClock,     m_monotonicClock,   m_randomSource, m_udpSockets,
                 *m_timeZoneService, m_jsonParsers, m_dateFormatter, &m_tlsKeyExchanges, &m_aeadSiv}
{
}

} // namespace chronavel
