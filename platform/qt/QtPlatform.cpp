#include "platform/qt/QtPlatform.h"

namespace chronavel {

QtPlatform::QtPlatform()
    : m_messageBox(m_shutdown, "Chronavel")
    , m_eventPump(m_deferred, m_shutdown)
    , m_udpSockets(m_deferred, m_monotonicClock)
    , m_platform{m_messageBox, m_eventPump, m_wallClock, m_monotonicClock, m_randomSource, m_udpSockets,
                 // The built-in service unless the build has an API key for the web one.
                 CHRONAVEL_EMBEDDED_TIME_ZONE_SERVICE ? static_cast<IHttpClientFactory&>(m_embeddedService)
                                                      : m_webService,
                 m_jsonParsers, m_dateFormatter}
{
}

} // namespace chronavel
