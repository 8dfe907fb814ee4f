#pragma once

#include "platform/Platform.h"
#include "platform/win32/Win32Platform.h"

#include <memory>

namespace chronavel {

// The Windows program's platform: Win32Platform with the time zone service
// answered in-process from Windows' zone database, or, in a build with an
// API key, the web service through WinHTTP. Lives on the window's thread.
class Win32RealPlatform {
public:
    Win32RealPlatform();
    ~Win32RealPlatform();

    Win32RealPlatform(const Win32RealPlatform&) = delete;
    Win32RealPlatform& operator=(const Win32RealPlatform&) = delete;

    const Platform& platform() const { return m_windows.platform(); }
    Win32ShutdownWatch& shutdownWatch() { return m_windows.shutdownWatch(); }

private:
    // Which of the two this build has is seen only where it is made.
    struct TimeZoneService;

    std::unique_ptr<TimeZoneService> m_timeZoneService;
    Win32Platform m_windows;
};

} // namespace chronavel
