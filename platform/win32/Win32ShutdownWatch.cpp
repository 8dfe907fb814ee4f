#include "platform/win32/Win32ShutdownWatch.h"

#include <windows.h>

namespace chronavel {

bool Win32ShutdownWatch::IsShuttingDown()
{
    // Looked at, not taken: the quit message stays for the main loop.
    MSG quit{};
    if (!m_bShuttingDown && PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE | PM_NOYIELD)) {
        m_bShuttingDown = true;
    }
    return m_bShuttingDown;
}

} // namespace chronavel
