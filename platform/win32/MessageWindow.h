#pragma once

#include <windows.h>

namespace chronavel {

// A message-only window of the named class, for posting back to the thread
// that made it; owner comes to procedure with WM_NCCREATE. Throws
// PlatformError when the window cannot be made.
HWND CreateMessageWindow(const wchar_t* className, WNDPROC procedure, void* owner);

} // namespace chronavel
