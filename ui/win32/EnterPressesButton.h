#pragma once

#include <windows.h>

namespace chronavel {

// Enter on the focused button presses it as Space does, in every message
// loop (the main one, the waiting request's, a box's), without the button
// becoming the window's default. Throws PlatformError if the button cannot
// be subclassed.
void MakeEnterPressButton(HWND button);

} // namespace chronavel
