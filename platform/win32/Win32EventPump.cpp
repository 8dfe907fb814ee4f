#include "platform/win32/Win32EventPump.h"

#include "platform/PlatformError.h"
#include "platform/common/DeferredEvents.h"
#include "platform/win32/SocketErrorWatch.h"
#include "platform/win32/Win32ShutdownWatch.h"
#include "platform/win32/Win32WallClock.h"

#include <windows.h>

#include <chrono>

namespace chronavel {
namespace {

// Rounded up, so the wait ends just past the boundary rather than before it.
DWORD MillisecondsToNextSecond()
{
    using namespace std::chrono;
    const auto now = ReadSystemTime();
    const auto nextSecond = floor<seconds>(now) + seconds{1};
    return static_cast<DWORD>(ceil<milliseconds>(nextSecond - now).count());
}

bool IsMessageWaiting()
{
    MSG message{};
    return PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE) != FALSE;
}

} // namespace

Win32EventPump::Win32EventPump(DeferredEvents& deferred, SocketErrorWatch& socketErrors, Win32ShutdownWatch& shutdown)
    : m_deferred(deferred)
    , m_socketErrors(socketErrors)
    , m_shutdown(shutdown)
{
}

void Win32EventPump::DoEvents()
{
    if (m_shutdown.IsShuttingDown()) {
        throw RequestAbandoned();
    }
    m_socketErrors.CheckAll();
    if (m_deferred.IsEmpty() && !IsMessageWaiting()) {
        // Sleep in the system's wait rather than spin; the next wall-clock
        // second ends it so the caller's clock test stays on time.
        const DWORD timeout = MillisecondsToNextSecond();
        if (MsgWaitForMultipleObjectsEx(0, nullptr, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE) == WAIT_FAILED) {
            // Cannot happen with no handles; should it, idle all the same.
            Sleep(timeout);
        }
    }
    Deliver();
}

void Win32EventPump::DeliverPending()
{
    if (m_shutdown.IsShuttingDown()) {
        throw RequestAbandoned();
    }
    Deliver();
}

void Win32EventPump::Deliver()
{
    DispatchWaitingMessages();
    if (m_shutdown.IsShuttingDown()) {
        throw RequestAbandoned();
    }
    m_socketErrors.CheckAll();
    m_deferred.DeliverPending();
}

void Win32EventPump::DispatchWaitingMessages()
{
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Put back for the main loop, which ends the program with it.
            m_shutdown.RequestShutdown();
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

} // namespace chronavel
