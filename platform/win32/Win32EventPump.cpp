#include "platform/win32/Win32EventPump.h"

#include "platform/PlatformError.h"
#include "platform/common/DeferredEvents.h"
#include "platform/win32/QuitMessage.h"

#include <chrono>

namespace chronavel {
namespace {

// Rounded up, so the wait ends just past the boundary rather than before it.
DWORD MillisecondsToNextSecond()
{
    using namespace std::chrono;
    const auto now = system_clock::now();
    return static_cast<DWORD>(ceil<milliseconds>(floor<seconds>(now) + seconds{1} - now).count());
}

void ThrowIfClosing()
{
    if (IsQuitPosted()) {
        throw RequestAbandoned();
    }
}

} // namespace

void Win32EventPump::DoEvents()
{
    ThrowIfClosing();
    if (m_deferred.IsEmpty()) {
        // Sleep in the system's wait rather than spin, until a message comes
        // (or one waits already) or the next wall-clock second, so the
        // caller's clock test stays on time.
        const DWORD timeout = MillisecondsToNextSecond();
        if (MsgWaitForMultipleObjectsEx(0, nullptr, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE) == WAIT_FAILED) {
            Sleep(timeout); // cannot happen with no handles; should it, idle all the same
        }
    }
    DeliverPending();
}

void Win32EventPump::DeliverPending()
{
    ThrowIfClosing();
    MSG message{};
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Put back for the main loop, which ends the program with it.
            PostQuitMessage(static_cast<int>(message.wParam));
            throw RequestAbandoned();
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    m_deferred.DeliverPending();
}

} // namespace chronavel
