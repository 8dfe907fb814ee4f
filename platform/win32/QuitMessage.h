#pragma once

#include <windows.h>

namespace chronavel {

// Whether the application is closing: WM_QUIT waits in the thread's queue
// (PostQuitMessage from the main window's WM_DESTROY, in the classic
// manner). Looked at, not taken: it stays for the main loop.
inline bool IsQuitPosted()
{
    MSG quit{};
    return PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE | PM_NOYIELD) != FALSE;
}

} // namespace chronavel
