#include "platform/win32/Win32RealPlatform.h"

#if CHRONAVEL_EMBEDDED_TIME_ZONE_SERVICE
#include "platform/timezone/EmbeddedTimeZoneService.h"
#include "platform/win32/Win32TimeZoneDatabase.h"
#else
#include "platform/win32/WinHttpClient.h"
#endif

namespace chronavel {

struct Win32RealPlatform::TimeZoneService {
#if CHRONAVEL_EMBEDDED_TIME_ZONE_SERVICE
    Win32TimeZoneDatabase zones;
    EmbeddedTimeZoneServiceFactory factory{zones};
#else
    WinHttpClientFactory factory;
#endif
};

Win32RealPlatform::Win32RealPlatform()
    : m_timeZoneService(std::make_unique<TimeZoneService>())
    , m_windows(m_timeZoneService->factory)
{
}

Win32RealPlatform::~Win32RealPlatform() = default;

} // namespace chronavel
